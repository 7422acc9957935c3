# Every failure says why on standard error, next to the unchanged stdout
# and exit code: one table of whole command lines, each with the exit
# code and the start of the stderr line it must produce.
. "$(dirname "${BASH_SOURCE[0]}")/rom_common.inc"

# setup | arguments | exit code | start of a line of stderr
CASES='
one|/srom 2 /write|-4|vxsrom: "/write": the last option lacks its words
one|/srom 9 /erase|-4|vxsrom: /srom 9: the ROM types are 0 to 4 and 255
one|/erase|-4|vxsrom: this action needs the ROM type: /srom or /srominfo (/srom 0 detects the part)
one|/srom 2 /bogus|-4|vxsrom: "/bogus": no such option (/? lists them)
one|/srom 2 /dump d.bin /fout e.bin|-4|vxsrom: "/fout": does not go with an option before it
none|/srom 2 /erase|-6|vxsrom: no VX5130 or VX5130A controller found
two|/srom 2 /erase|-6|vxsrom: 2 controllers found (04-00-0, 05-00-0): choose one with /address, e.g. /address 04-00-0
two|/srom 2 /erase /address 6-0-0|-6|vxsrom: /address 06-00-0: no such controller; present: 04-00-0, 05-00-0
busy|/srom 2 /erase|-1|vxsrom: 04-00-0: the controller is in use by another program or another run (library status -14): let that run finish
one|/srom 2 /erase /address 04:00.0|-4|vxsrom: "04:00.0": not an address for /address (/address takes dashes, not BB:DD.F)
one|/srom 2 /erase /address 04-20-0|-4|vxsrom: "04-20-0": not an address for /address (the device is 00 to 1F)
one|/srom 1 /write fw4.mem cfg.ini|0|vxsrom: 04-00-0: /srom 1 is for page size 0x80, chip erase 0x62, but the library reports type 2 (page size 0x100, chip erase 0x60); the ROM may not verify: /srom 0 detects the part
one|/srom 2 /write fw4.mem|0|vxsrom: no configuration file and no EUI-64 file: the subsystem IDs and the EUI-64 are left unset
one|/srom 2 /erase /log nowhere/l.log|0|vxsrom: cannot open the run log "nowhere/l.log": 
rev2|/srom 2 /erase|-16|vxsrom: 04-00-0: chip revision 2 is not supported: this tool is for revisions 3 and 4
two|/srom 2 /write fw4.mem cfg.ini /address 5-0-0|-16|vxsrom: 05-00-0: the firmware is for chip revision 4, the controller'"'"'s chip is revision 3 (/norev skips the check)
one|/srom 2 /write fw4.mem nope.ini|-12|vxsrom: cannot read the configuration file "nope.ini": 
one|/srom 2 /write bad.mem cfg.ini|-7|vxsrom: the firmware file "bad.mem" was refused by the library (library status -41)
one|/srom 2 /write empty.mem cfg.ini|-7|vxsrom: the firmware file "empty.mem" was refused by the library (library status -41): the file is empty
one|/srom 2 /write fw4.mem cfg.ini bad.eui|-11|vxsrom: the EUI-64 file "bad.eui" was refused by the library (library status -46): it must hold eight hexadecimal pairs
one|/srom 2 /dump nowhere/d.bin|-12|vxsrom: cannot write "nowhere/d.bin": 
stuck|/srom 2 /write fw4.mem cfg.ini|-8|vxsrom: 04-00-0: verify mismatch: 1 of 32768 bytes differ, the first at offset 0x07000 (ROM 0x00, image 0xFF)
failing|/srom 2 /write fw4.mem cfg.ini|-5|vxsrom: 04-00-0: the write failed after 16384 of 32768 bytes (library status -17)
'

test_every_failure_names_its_cause() {
  samples
  printf 'junk' > bad.mem
  : > empty.mem
  echo 02:56:58:FF:FE:00:00:01 > bad.eui
  while IFS='|' read -r name args code line; do
    [ -n "$name" ] || continue
    setup "$name"
    # shellcheck disable=SC2086
    vxsrom $args
    expect_status "$code" || fail "case: $args"
    grep -qF -- "$line" err.txt || { cat err.txt >&2; fail "case $args: stderr lacks: $line"; }
  done <<< "$CASES"
}

test_renamed_copy_names_the_expected_name() {
  setup one
  exe=$(copy_program bin other)
  run "$exe" /srom 2
  expect_status -3
  expect_out <<< 'Application name and version are mismatch!'
  expect_err_has 'vxsrom: this program must be named "vxsrom" (any case, any extension); its file is named "other"'
}

test_listing_says_which_none() {
  samples
  machine <<'M'
speed 0
controller 02:00.0 revision 4 part MX25L4005A rom a.bin
controller 03:00.0 revision 4 part MX25L4005A rom b.bin
controller 04:00.0 revision 4 part MX25L4005A rom c.bin
M
  vxsim program machine.txt 03:00.0 fw4.mem cfg.ini
  vxsim program machine.txt 04:00.0 fw4.mem cfg.ini
  vxsim poke machine.txt 03:00.0 0 0x00
  vxsim poke machine.txt 04:00.0 0x200 0x00
  vxsrom /srom 2
  expect_status 0
  sed 's/\r$//' err.txt > err-unix.txt
  diff - err-unix.txt <<'E'
vxsrom: 02-00-0: the ROM is blank (library status -51)
vxsrom: 03-00-0: the ROM holds no image (library status -52)
vxsrom: 04-00-0: the ROM's image is damaged (library status -53)
E
}

test_writeall_reports_each_controller_and_names_the_failed_one() {
  samples
  machine <<'M'
speed 0
controller 02:00.0 revision 4 part MX25L4005A rom a.bin
stuck 0x7000 0x00
controller 03:00.0 revision 4 part MX25L4005A rom b.bin
controller 04:00.0 revision 3 part MX25L4005A rom c.bin
M
  vxsrom /srom 2 /writeall fw4.mem cfg.ini x.eui /log l.log
  expect_status -8
  sed 's/\r$//' err.txt > err-unix.txt
  diff - err-unix.txt <<'E'
vxsrom: 02-00-0: verify mismatch: 1 of 32768 bytes differ, the first at offset 0x07000 (ROM 0x00, image 0xFF)
vxsrom: 02-00-0 (chip revision 4): written, but verification failed (exit code -8)
vxsrom: 03-00-0 (chip revision 4): written and verified
vxsrom: 04-00-0 (chip revision 3): passed over: the firmware is for chip revision 4
vxsrom: /writeall: 1 written and verified, 1 failed, 1 passed over
vxsrom: warning: the same EUI-64 from "x.eui" went to all 2 controllers written; each board needs its own (write them one /address at a time)
E
  grep -q '^\[02:00:00\]\[Return = -8\].* /srom 2 /writeall' l.log || fail "log: $(cat l.log)"
}
