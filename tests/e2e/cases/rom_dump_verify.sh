# /dump and /verify: read-only actions; the dump file appears only after
# the whole ROM was read and written out.
. "$(dirname "${BASH_SOURCE[0]}")/rom_common.inc"

one() {
  machine <<M
speed 0
trace trace.txt
controller 04:00.0 revision 4 part $1 rom rom.bin
${2:-}
M
  rm -f trace.txt
  samples
  vxsim program machine.txt 04:00.0 fw4.mem cfg.ini
}

DUMPED='Read Serial ROM....  0%% \rRead Serial ROM....  100%% \nDump complete\n'

test_dump_is_the_rom() {
  one MX25L4005A
  vxsrom /srom 2 /dump d.bin
  expect_status 0
  expect_outf "$TARGET4$DUMPED"
  cmp d.bin rom.bin || fail "dump differs from the ROM"
  expect_calls CloseDevice 1
}

test_dump_of_64k_rom_holds_its_first_32k() {
  one M25P05
  vxsrom /srom 0 /dump d.bin
  expect_status 0
  expect_outf "$TARGET4$DUMPED"
  expect_size d.bin 32768
  head -c 32768 rom.bin | cmp - d.bin || fail "not the first 32 KiB"
}

test_dump_into_missing_directory_after_reading() {
  one MX25L4005A
  vxsrom /srom 2 /dump nowhere/d.bin
  expect_status -12
  expect_outf "${TARGET4}Read Serial ROM....  0%% \rRead Serial ROM....  100%% \nImage file open error: nowhere/d.bin(wb) (2)\n"
  expect_calls PollSromRead 1
  expect_calls CloseDevice 1
  expect_no_file nowhere
}

test_failed_read_keeps_the_old_dump() {
  one MX25L4005A "poll-fault read -22 at 50%"
  printf 'old dump' > d.bin
  vxsrom /srom 2 /dump d.bin
  expect_status -5
  expect_outf "${TARGET4}Read Serial ROM....  0%% \nSerial ROM read error (-22)\n"
  [ "$(cat d.bin)" = "old dump" ] || fail "old dump changed"
  [ "$(ls | grep -c '^d\.bin')" -eq 1 ] || fail "left a temporary file"
  one MX25L4005A "fault StartSromRead -1"
  vxsrom /srom 2 /dump d.bin
  expect_status -5
  expect_outf "${TARGET4}Serial ROM read error (-1)\n"
  [ "$(cat d.bin)" = "old dump" ] || fail "old dump changed"
}

test_dump_replaces_an_existing_file_whole() {
  one MX25L4005A
  head -c 40000 /dev/zero > d.bin
  vxsrom /srom 2 /dump d.bin
  expect_status 0
  cmp d.bin rom.bin || fail "dump differs from the ROM"
}

test_verify_matches_what_write_would_write() {
  one MX25L4005A
  vxsrom /srom 2 /verify fw4.mem cfg.ini
  expect_status 0
  expect_outf "$TARGET4$VERIFIED"
  expect_calls StartSromWrite 0
  expect_calls CloseDevice 1
  vxsrom /srom 2 /verify fw4.mem
  expect_status -8
  expect_outf "$TARGET4$MISMATCH"
}

test_verify_listed_type_builds_before_enumerating() {
  one MX25L4005A
  printf 'junk' > bad.mem
  vxsrom /srom 2 /verify bad.mem cfg.ini
  expect_status -7
  expect_out <<'O'
Update SROM Image error (-41)
O
  expect_calls EnumerateDevices 0
  vxsrom /srom 2 /verify fw3.mem cfg.ini
  expect_status -16
  expect_out <<'O'
This firmware revision is 3.
This chip revision is 4.
Revision is mismatch.
O
}

test_verify_auto_opens_first_and_checks_revision() {
  one MX25L4005A
  vxsrom /srom 0 /verify fw4.mem cfg.ini
  expect_status 0
  expect_outf "$TARGET4$VERIFIED"
  expect_trace_order GetSromInfo UpdateSromImage
  : > trace.txt
  vxsrom /srom 0 /verify fw3.mem cfg.ini
  expect_status -16
  expect_outf "${TARGET4}This firmware revision is 3.\nThis chip revision is 4.\nRevision is mismatch.\n"
  expect_calls StartSromRead 0
  expect_calls CloseDevice 1
}

test_verify_norev_skips_image_info() {
  one MX25L4005A
  vxsrom /srom 2 /verify fw3.mem /norev
  expect_status -8
  expect_outf "$TARGET4$MISMATCH"
  expect_calls GetSromImageInfo 0
}
