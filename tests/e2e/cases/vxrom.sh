# vxrom: the listing as JSON, checked field by field against the machine
# it describes; restore of a dumped image over a damaged ROM; the checks
# that keep a wrong file off the ROM; a restore that a stop request does
# not cut short; image information and the command line.
. "$(dirname "${BASH_SOURCE[0]}")/rom_common.inc"

# json_check PYTHON [ARG]: runs PYTHON with `doc` the JSON document on
# stdout (and ARG as sys.argv[2]);
# the document must be all of stdout.  Parsed on this side, whichever
# platform's program wrote it.
json_check() {
  python3 -c 'import json, sys
doc = json.load(open("out.txt"))
exec(sys.argv[1])' "$@" || { cat out.txt >&2; fail "JSON check failed"; }
}

# The listing's machine, each controller with what its ROM is made to
# hold, and what vxrom list --json must say of it ("-" for null).
# address|revision|part|ROM|mem_size|page_size|dev_code|rom_type|contents|firmware_version|subsystem_vendor_id|subsystem_id|eui64|error
LISTED='
02:00.0|4|MX25L4005A|fw4-eui|0x8000|0x100|0x60E0|2|image|2.0.2.6-1.B|0x1106|0x3483|00-11-22-FF-FE-33-44-55|-
03:00.0|3|W25X40BV|blank|0x8000|0x100|0xC7E0|3|blank|-|-|-|-|-
04:00.0|4|AT25F512|no-image|0x8000|0x80|0x62E0|1|no image|-|-|-|-|-
05:00.0|4|MX25L5121E|damaged|0x8000|0x20|0x60E0|4|damaged image|-|-|-|-|-
06:00.0|3|M25P05|fw3|0x10000|0x100|0xC7E0|-|image|1.0.3.0-0.A|0x1106|0x3483|-|-
07:00.0|4|SST25VF512A|fw4|0x8000|0x1|0x60E0|-|image|2.0.2.6-1.B|0x1106|0x3483|-|-
0A:00.0|4|MX25L4005A|fw4-eui|0x8000|0x100|0x60E0|2|image|2.0.2.6-1.B|0x1106|0x3483|00-11-22-FF-FE-33-44-55|-
08:00.0|2|MX25L4005A|fw4|-|-|-|-|-|-|-|-|-|-
09:00.0|4|UNSUPPORTED|blank|-|-|-|-|-|-|-|-|-|the serial ROM part is not supported
'

test_list_json_matches_the_machine() {
  samples
  machine < <(echo "speed 0"; echo "trace trace.txt"
    while IFS='|' read -r a rev part _; do
      [ -z "$a" ] || echo "controller $a revision $rev part $part rom rom-${a%%:*}.bin"
    done <<< "$LISTED")
  while IFS='|' read -r a _ _ rom _; do
    case $rom in
      fw4-eui) vxsim program machine.txt "$a" fw4.mem cfg.ini x.eui ;;
      fw4) vxsim program machine.txt "$a" fw4.mem cfg.ini ;;
      fw3) vxsim program machine.txt "$a" fw3.mem cfg.ini ;;
      no-image) vxsim program machine.txt "$a" fw4.mem cfg.ini; vxsim poke machine.txt "$a" 0 0x00 ;;
      damaged) vxsim program machine.txt "$a" fw4.mem cfg.ini; vxsim poke machine.txt "$a" 0x200 0x00 ;;
    esac
  done <<< "$LISTED"
  : > trace.txt
  vxrom list --json
  expect_status -1
  expect_err_has 'vxrom: 09-00-0: the serial ROM part is not supported (library status -55)'
  expect_err_has 'vxrom: warning: 02-00-0 and 0A-00-0 hold the same EUI-64 00-11-22-FF-FE-33-44-55'
  json_check '
names = ["address", "chip_revision", "part", "rom", "mem_size", "page_size",
         "dev_code", "rom_type", "contents", "firmware_version",
         "subsystem_vendor_id", "subsystem_id", "eui64", "error"]
rows = [dict(zip(names, l.split("|"))) for l in sys.argv[2].split("\n") if l]
assert len(doc) == len(rows), "%d controllers listed" % len(doc)
for got, row in zip(doc, rows):
    assert sorted(got) == sorted(set(names) - {"part", "rom"} | {"model", "eui64_shared"}), got
    assert got["eui64_shared"] == (row["address"] in ("02:00.0", "0A:00.0")), got
    model = {"3": "VX5130", "4": "VX5130A"}.get(row["chip_revision"])
    assert got["model"] == model, (row["address"], got["model"])
    for name in set(names) - {"part", "rom"}:
        want = row[name]
        if want == "-":
            want = None
        elif name == "error":
            assert want in got[name], (row["address"], got[name])
            continue
        elif name in ("subsystem_vendor_id", "subsystem_id"):
            want = "0x%04X" % int(want, 0)
        elif name not in ("address", "contents", "firmware_version", "eui64"):
            want = int(want, 0)
        assert got[name] == want, (row["address"], name, got[name], want)
' "$LISTED"
  ! grep -q '^[A-Za-z]*(08:00.0' trace.txt || fail "the revision 2 controller was touched: $(grep '08:00.0' trace.txt)"
  vxrom list
  expect_out_has '02:00.0  VX5130A (chip revision 4)'
  expect_out_has '08:00.0  chip revision 2: not supported, ROM not read'
}

# One programmed controller and its dump, d.bin.
dumped() {
  machine <<< "speed $1
controller 04:00.0 revision 4 part MX25L4005A rom a.bin"
  samples
  vxsim program machine.txt 04:00.0 fw4.mem cfg.ini x.eui
  vxsrom /srom 2 /dump d.bin
  expect_status 0
}

# damage (vxsim poke arguments) | restore options
RESTORES='
0 0x00|
0x200 0x00 0x00|--srom 2 --address 4-0-0
0x7FFF 0x00|--address 04:00.0 --quiet
'

test_restore_brings_back_the_dumped_rom() {
  dumped 0
  while IFS='|' read -r damage options; do
    [ -n "$damage" ] || continue
    # shellcheck disable=SC2086
    vxsim poke machine.txt 04:00.0 $damage
    ! cmp -s a.bin d.bin || fail "poke $damage changed nothing"
    # shellcheck disable=SC2086
    vxrom restore d.bin $options --log l.log
    expect_status 0 || fail "case: $options"
    cmp a.bin d.bin || fail "case $options: the ROM differs from the dump"
    expect_out <<< '04:00.0: restored "d.bin", 32768 bytes written and verified'
    # Neither a terminal nor --progress: stderr stays for reasons.
    [ ! -s err.txt ] || { cat err.txt >&2; fail "case $options: stderr not empty"; }
    # shellcheck disable=SC2086
    want=$(echo restore d.bin $options --log l.log)
    tail -1 l.log | grep -q "^\[04:00:00\]\[Return = 0\].*vxrom.* $want" ||
      fail "log: $(cat l.log)"
  done <<< "$RESTORES"
}

# file | restore options | exit code | start of the reason on stderr
REFUSALS='
short.bin|--address 4-0-0|-15|vxrom: 04-00-0: "short.bin" holds 100 bytes, not the 32768 bytes of an image for the ROM in use
junk.bin|--address 4-0-0|-15|vxrom: "junk.bin" is no image the library accepts (library status -54)
d.bin|--address 5-0-0|-16|vxrom: 05-00-0: "d.bin" is for chip revision 4, the controller'"'"'s chip is revision 3
d.bin||-6|vxrom: 2 controllers found (04-00-0, 05-00-0): choose one with --address, e.g. --address 04-00-0
d.bin|--address 6:00.0|-6|vxrom: --address 06-00-0: no such controller; present: 04-00-0, 05-00-0
none.bin|--address 4-0-0|-12|vxrom: cannot read the image file "none.bin": 
fifo|--address 4-0-0|-12|vxrom: cannot read the image file "fifo": not a regular file
d.bin|--address 4:0|-4|vxrom: --address 4:0: not an address
d.bin|--srom 5 --address 4-0-0|-4|vxrom: --srom 5: the ROM types are
'

test_restore_refusals_leave_the_rom_untouched() {
  dumped 0
  machine <<< "speed 0
trace trace.txt
controller 04:00.0 revision 4 part MX25L4005A rom a.bin
controller 05:00.0 revision 3 part MX25L4005A rom b.bin"
  vxsim program machine.txt 05:00.0 fw3.mem cfg.ini
  vxsim poke machine.txt 04:00.0 0x200 0x00
  cp a.bin a.before; cp b.bin b.before
  head -c 100 d.bin > short.bin
  head -c 32768 /dev/zero | tr '\0' x > junk.bin
  mkfifo fifo  # with no writer: opening it to read would wait for one
  while IFS='|' read -r file options code reason; do
    [ -n "$file" ] || continue
    # shellcheck disable=SC2086
    vxrom restore $file $options
    expect_status "$code" || fail "case: $file $options"
    expect_err_has "$reason"
    [ ! -s out.txt ] || fail "case $file $options: stdout: $(cat out.txt)"
  done <<< "$REFUSALS"
  cmp a.bin a.before && cmp b.bin b.before
  ! grep -qE '^StartSrom(Erase|Write)' trace.txt || fail "a ROM was changed: $(grep StartSrom trace.txt)"
}

# An image's EUI-64 goes to its own board only: restore options | exit
# code | start of the reason ("" for none).  04 holds the image's EUI-64,
# 05 another, 06 is blank.
IDENTITY='
--address 5-0-0|-15|vxrom: 05-00-0: "d.bin" carries EUI-64 00-11-22-FF-FE-33-44-55, the board holds 02-56-58-FF-FE-00-00-05
--address 6-0-0|-15|vxrom: 06-00-0: "d.bin" carries EUI-64 00-11-22-FF-FE-33-44-55, which 04-00-0 holds
--address 4-0-0|0|
--address 6-0-0 --clone-eui|0|
'

test_restore_keeps_each_board_its_own_eui64() {
  dumped 0
  machine <<< "speed 0
controller 04:00.0 revision 4 part MX25L4005A rom a.bin
controller 05:00.0 revision 4 part MX25L4005A rom b.bin
controller 06:00.0 revision 4 part MX25L4005A rom c.bin"
  vxsim make-eui y.eui 02-56-58-FF-FE-00-00-05
  vxsim program machine.txt 05:00.0 fw4.mem cfg.ini y.eui
  cp b.bin b.before
  while IFS='|' read -r options code reason; do
    [ -n "$options" ] || continue
    # shellcheck disable=SC2086
    vxrom restore d.bin $options
    expect_status "$code" || fail "case: $options"
    [ -z "$reason" ] || expect_err_has "$reason"
  done <<< "$IDENTITY"
  cmp b.bin b.before
  cmp a.bin d.bin && cmp c.bin d.bin
}

test_stop_request_during_restore_waits_for_the_verification() {
  is_windows && skip "no POSIX signals under wine"
  dumped 1
  vxsim poke machine.txt 04:00.0 0 0x00
  rm -f out.raw err.txt
  env --default-signal=INT $VXROM restore d.bin --progress > out.raw 2> err.txt &
  pid=$!
  until grep -qF 'Erase Serial ROM' err.txt 2> /dev/null; do
    kill -0 "$pid" 2> /dev/null || fail "ended before erasing"
    sleep 0.02
  done
  kill -TERM "$pid"
  finish
  expect_status 0
  expect_err_has 'vxrom: stop requested: the ROM is finished first (erase, write and verify), then the program stops'
  expect_err_has 'Verify complete'
  cmp a.bin d.bin
}

# arguments | exit code | a line of stdout ("" for none)
FRONT='
info d.bin|0|d.bin: image for chip revision 4, layout 1, 32768 bytes
info d.bin|0|    EUI-64:    00-11-22-FF-FE-33-44-55
info d.bin|0|    subsystem: vendor 0x1106, device 0x3483
info junk.bin|-15|junk.bin: not an image (library status -54), 32768 bytes
info fifo|-12|
--help|0|Subcommands:
restore --help|0|Usage: vxrom restore [OPTIONS] IMAGE
|-4|
list --bogus|-4|
list --quiet --progress|-4|
lst|-4|
'

test_info_and_the_command_line() {
  dumped 0
  head -c 32768 /dev/zero | tr '\0' x > junk.bin
  mkfifo fifo
  while IFS='|' read -r args code line; do
    [ -n "$args$code" ] || continue
    # shellcheck disable=SC2086
    vxrom $args
    expect_status "$code" || fail "case: $args"
    [ -z "$line" ] || expect_out_has "$line"
  done <<< "$FRONT"
  vxrom lst
  expect_err_has 'vxrom: "lst" is no vxrom command; the commands are list, restore, info, pool, history, provision'
  vxrom info d.bin --json
  json_check 'assert doc == {"file": "d.bin", "size": 32768, "valid": True, "status": 0, "revision": 4, "layout": 1, "firmware_version": "2.0.2.6-1.B", "subsystem_vendor_id": "0x1106", "subsystem_id": "0x3483", "eui64": "00-11-22-FF-FE-33-44-55"}, doc'
  vxrom info junk.bin --json
  expect_status -15
  json_check 'assert (doc["valid"], doc["status"], doc["revision"]) == (False, -54, None), doc'
  vxrom --version
  expect_status 0
  grep -qxE 'vxrom [0-9]+\.[0-9]+\.[0-9]+' out.txt || fail "version: $(cat out.txt)"
}
