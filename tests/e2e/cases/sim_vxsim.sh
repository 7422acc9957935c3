# The simulator's tool: descriptions, sample files, programming and
# decoding ROMs, and the lock on an open controller.

test_create_add_show_blank() {
  vxsim create m.txt --speed 0
  vxsim add m.txt 04:00.0 --revision 3 --part AT25F512
  vxsim add m.txt 05:00.0
  [ -f rom-04-00-0.bin ] || fail "no ROM file"
  expect_size rom-05-00-0.bin 32768
  $VXSIM show m.txt > out.raw
  sed 's/\r$//' out.raw > out.txt
  expect_out <<'OUT'
04:00.0 revision 3 (VX5130) part AT25F512
  blank
05:00.0 revision 4 (VX5130A) part MX25L4005A
  blank
OUT
}

test_program_and_show() {
  vxsim create m.txt --speed 0
  vxsim add m.txt 04:00.0 --part W25X40BV --rom a.bin
  vxsim make-mem fw.mem --revision 4 --version 2.0.2.6-1.B
  vxsim make-ini cfg.ini --ssvid 0x1106 --ssid 0x3483
  vxsim make-eui x.eui 00-11-22-FF-FE-33-44-55
  vxsim program m.txt 04:00.0 fw.mem cfg.ini x.eui
  $VXSIM show m.txt > out.raw
  sed 's/\r$//' out.raw > out.txt
  expect_out <<'OUT'
04:00.0 revision 4 (VX5130A) part W25X40BV
  firmware revision 4, version 2.0.2.6-1.B, 4096 bytes of code
  subsystem vendor ID 0x1106, subsystem ID 0x3483
  EUI-64 00-11-22-FF-FE-33-44-55
  laid out for page size 0x100, device code 0xC7E0
  checksums correct
OUT
  vxsim poke m.txt 04:00.0 0x100 0x00
  $VXSIM show m.txt | grep -q 'checksum mismatch' || fail "damage not shown"
  vxsim poke m.txt 04:00.0 0 0x41
  $VXSIM show m.txt | grep -q 'no image' || fail "unknown contents not shown"
}

test_bad_inputs_are_refused() {
  vxsim create m.txt --speed 0
  vxsim add m.txt 04:00.0
  printf 'junk' > bad.mem
  vxsim make-ini cfg.ini
  if $VXSIM program m.txt 04:00.0 bad.mem cfg.ini 2> err.txt; then fail "bad firmware accepted"; fi
  expect_err_has "bad firmware file (-41)"
  if $VXSIM add m.txt 04:00.0 2> err.txt; then fail "duplicate accepted"; fi
  expect_err_has "given twice"
  if $VXSIM make-eui x.eui 00-11 2> err.txt; then fail "bad EUI-64 accepted"; fi
  if $VXSIM frobnicate 2> err.txt; then fail "unknown command accepted"; fi
  expect_err_has "usage: vxsim"
}

test_remove_takes_a_controller_and_its_faults_out() {
  vxsim create m.txt --speed 0
  vxsim add m.txt 04:00.0
  vxsim add m.txt 05:00.0
  vxsim fault m.txt 04:00.0 stuck 0x10 0x00
  vxsim remove m.txt 04-00-0
  $VXSIM show m.txt > out.raw
  sed 's/\r$//' out.raw > out.txt
  expect_out <<'OUT'
05:00.0 revision 4 (VX5130A) part MX25L4005A
  blank
OUT
  if grep -q stuck m.txt; then fail "its fault stayed"; fi
  [ -f rom-04-00-0.bin ] || fail "its ROM file went"
  if $VXSIM remove m.txt 04:00.0 2> err.txt; then fail "an absent controller removed"; fi
  expect_err_has "no controller 04:00.0 in m.txt"
}

test_lock_refuses_second_opener() {
  vxsim create m.txt --speed 0
  vxsim add m.txt 04:00.0
  vxsim make-mem fw.mem
  hold_controller m.txt 04:00.0
  if $VXSIM program m.txt 04:00.0 fw.mem 2> err.txt; then fail "second opener got in"; fi
  expect_err_has "open in another process"
  release_controller
  vxsim program m.txt 04:00.0 fw.mem
}

test_parts_and_timings() {
  vxsim parts > parts.txt
  grep -q '^25LC512 ' parts.txt || fail "no EEPROM"
  grep -q '^UNSUPPORTED .* -55 ' parts.txt || fail "no unsupported part"
  vxsim timings > t.txt
  grep -q '^MX25L4005A' t.txt || fail "no timings"
}

test_help_and_version() {
  $VXSIM --help > out.raw
  sed 's/\r$//' out.raw > out.txt
  grep -q '^usage: vxsim COMMAND' out.txt || fail "no usage on stdout"
  grep -q -- '--version' out.txt || fail "usage lacks --version"
  # The version is the project's, written only in CMakeLists.txt.
  local want
  want=$(sed -n 's/^project(vxsrom VERSION \([0-9.]*\).*/\1/p' "$E2E_EXAMPLES/../CMakeLists.txt")
  [ -n "$want" ] || fail "no project version"
  $VXSIM --version > out.raw
  sed 's/\r$//' out.raw > out.txt
  expect_out <<< "vxsim $want (vxctl stand-in: simulated controllers, not the maker's library)"
  if $VXSIM --version extra 2> err.txt; then fail "extra word accepted"; fi
  expect_err_has "usage: vxsim"
}

# Faults without editing the description: added, cleared, and one that
# fails once across runs, so a retry passes.
test_faults_added_cleared_and_fired_once() {
  vxsim create m.txt --speed 0
  vxsim add m.txt 04-00-0
  vxsim add m.txt 05:00.0
  if $VXSIM add m.txt 04-20-0 2> err.txt; then fail "device 20 accepted"; fi
  expect_err_has "bad PCI address 04-20-0 (BB:DD.F or BB-DD-F"
  vxsim fault m.txt 04-00-0 OpenDevice -14 once
  vxsim fault m.txt 04:00.0 poll-fault write -22 at 50%
  vxsim fault m.txt 05-00-0 stuck 0x10 0x00
  grep -c '^  \(fault\|poll-fault\|stuck\)' m.txt | grep -qx 3 || { cat m.txt >&2; fail "faults not added"; }
  if $VXSIM fault m.txt 04-00-0 OpenDevice bogus 2> err.txt; then fail "bad fault accepted"; fi
  vxsim fault m.txt 04-00-0 clear
  [ "$(grep -c '^  \(fault\|poll-fault\)' m.txt)" -eq 0 ] || fail "faults of 04:00.0 left"
  grep -q '^  stuck 0x10 0x00' m.txt || fail "the other controller's fault went too"
  vxsim fault m.txt 04-00-0 OpenDevice -14 once
  export VXCTL_SIM_MACHINE=m.txt
  vxsrom /srom 2 /erase /address 04-00-0
  expect_status -1
  grep -q 'OpenDevice -14 fired' m.txt || fail "the fault is not marked fired"
  vxsrom /srom 2 /erase /address 04-00-0
  expect_status 0
}
