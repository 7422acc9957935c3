# /write: the two orders of events, revision tests, erase-before-write,
# the write and its verification, /fout; ROM contents checked afterwards.
. "$(dirname "${BASH_SOURCE[0]}")/rom_common.inc"

# one PART [REVISION] [EXTRA LINES]: one controller at 04:00.0.
one() {
  machine <<M
speed 0
trace trace.txt
controller 04:00.0 revision ${2:-4} part $1 rom rom.bin
${3:-}
M
  rm -f trace.txt rom.bin
  samples
}

test_write_then_verify_then_listing() {
  one MX25L4005A
  vxsrom /srom 2 /write fw4.mem cfg.ini x.eui
  expect_status 0
  expect_outf "$TARGET4$ERASED$WRITTEN$VERIFIED"
  expect_calls CloseDevice 1
  expect_trace_order UpdateSromImage EnumerateDevices
  expect_trace_order StartSromErase StartSromWrite
  expect_trace_order StartSromWrite StartSromRead
  grep -q '^StartSromWrite(04:00.0, 32768, image, 1) = 0' trace.txt || fail "write call"
  expect_rom 04:00.0 <<'R'
  firmware revision 4, version 2.0.2.6-1.B, 4096 bytes of code
  subsystem vendor ID 0x1106, subsystem ID 0x3483
  EUI-64 00-11-22-FF-FE-33-44-55
  laid out for page size 0x100, device code 0x60E0
  checksums correct
R
  vxsrom /srom 2 /verify fw4.mem cfg.ini x.eui
  expect_status 0
  expect_outf "$TARGET4$VERIFIED"
  vxsrom /srom 2
  expect_status 0
  expect_out <<'O'
Bus:0x04 Device:0x00 Function:0x00
This Device is VX5130A(Revision 4).
     FW Version : 2.0.2.6-1.B
     PCI Subsystem Vendor ID : 0x1106
     PCI Subsystem ID : 0x3483
     EUI-64 : 00-11-22-FF-FE-33-44-55
O
}

test_listed_type_reports_bad_firmware_before_enumerating() {
  one MX25L4005A
  printf 'junk' > bad.mem
  vxsrom /srom 2 /write bad.mem cfg.ini
  expect_status -7
  expect_out <<'O'
Update SROM Image error (-41)
O
  expect_calls EnumerateDevices 0
  expect_calls OpenDevice 0
}

test_fifo_input_refused_without_waiting_for_a_writer() {
  one MX25L4005A
  mkfifo fifo.mem
  # timeout: a regression blocks in the open instead of failing here.
  run "timeout 60 $VXSROM" /srom 2 /write fifo.mem cfg.ini
  expect_status -12
  expect_out <<'O'
Update SROM Image error (-42)
O
  expect_calls EnumerateDevices 0
}

test_auto_opens_before_building() {
  one MX25L4005A
  vxsrom /srom 0 /write fw4.mem
  expect_status 0
  expect_outf "$TARGET4$ERASED$WRITTEN$VERIFIED"
  expect_trace_order OpenDevice UpdateSromImage
  grep -q '^OpenDevice(04:00.0, 2, null) = 0' trace.txt || fail "auto open"
  expect_calls CloseDevice 1
  printf 'junk' > bad.mem
  : > trace.txt
  vxsrom /srom 0 /write bad.mem
  expect_status -7
  expect_outf "${TARGET4}Update SROM Image error (-41)\n"
  expect_calls CloseDevice 1
}

test_auto_revision_mismatch_checked_by_write() {
  one MX25L4005A
  vxsrom /srom 0 /write fw3.mem cfg.ini
  expect_status -16
  expect_outf "${TARGET4}This firmware revision is 3.\nThis chip revision is 4.\nRevision is mismatch.\n"
  expect_calls StartSromWrite 0
  expect_calls CloseDevice 1
  expect_rom 04:00.0 <<'R'
  blank
R
}

test_listed_type_revision_mismatch_checked_on_opening() {
  one MX25L4005A
  vxsrom /srom 2 /write fw3.mem cfg.ini
  expect_status -16
  expect_out <<'O'
This firmware revision is 3.
This chip revision is 4.
Revision is mismatch.
O
  expect_calls OpenDevice 0
}

test_norev_never_reads_the_image_revision() {
  one MX25L4005A
  vxsrom /srom 2 /write fw3.mem cfg.ini /norev
  expect_status 0
  expect_outf "$TARGET4$ERASED$WRITTEN$VERIFIED"
  expect_calls GetSromImageInfo 0
  : > trace.txt
  vxsrom /srom 0 /verify fw3.mem cfg.ini /norev
  expect_status 0
  expect_calls GetSromImageInfo 0
}

test_noerase_and_type_255_never_erase() {
  one MX25L4005A
  vxsrom /srom 2 /write fw4.mem cfg.ini /noerase
  expect_status 0
  expect_outf "$TARGET4$WRITTEN$VERIFIED"
  expect_calls StartSromErase 0
  one 25LC512
  vxsrom /srom 255 /write fw4.mem cfg.ini
  expect_status 0
  expect_outf "$TARGET4$WRITTEN$VERIFIED"
  expect_calls StartSromErase 0
  expect_calls CloseDevice 1
}

test_erase_inside_write_leaves_the_controller_open() {
  one W25X40BV
  vxsrom /srom 3 /write fw4.mem /erase
  expect_status 0
  expect_outf "$TARGET4$ERASED$WRITTEN$VERIFIED"
  expect_calls OpenDevice 1
  expect_calls EnumerateDevices 2
  expect_calls CloseDevice 1
  tail -2 trace.txt | head -1 | grep -q '^CloseDevice' || fail "closed before the end"
}

test_wrong_rom_type_is_caught_by_verification() {
  # Type 1's erase opcode means nothing to this part: the old image stays
  # and the new one is programmed over it.
  one MX25L4005A
  vxsim program machine.txt 04:00.0 fw3.mem
  vxsrom /srom 1 /write fw4.mem cfg.ini
  expect_status -8
  expect_outf "$TARGET4$ERASED$WRITTEN$MISMATCH"
  expect_calls CloseDevice 1
  expect_rom 04:00.0 <<'R'
  image damaged: checksum mismatch
R
}

test_stuck_cell_gives_mismatch_after_write_complete() {
  one MX25L4005A 4 "stuck 0x7000 0x00"
  vxsrom /srom 2 /write fw4.mem cfg.ini
  expect_status -8
  expect_outf "$TARGET4$ERASED$WRITTEN$MISMATCH"
  expect_calls CloseDevice 1
}

test_write_start_failure_maps_the_status() {
  one MX25L4005A 4 "fault StartSromWrite -16"
  vxsrom /srom 2 /write fw4.mem cfg.ini
  expect_status -2
  expect_outf "$TARGET4${ERASED}Serial ROM write error (-16)\n"
  expect_calls CloseDevice 1
  one MX25L4005A 4 "fault StartSromWrite -2"
  vxsrom /srom 2 /write fw4.mem cfg.ini
  expect_status -1
}

test_write_poll_failure_is_minus_5() {
  one MX25L4005A 4 "poll-fault write -44 at 25%"
  vxsrom /srom 2 /write fw4.mem cfg.ini /noerase
  expect_status -5
  expect_outf "${TARGET4}Write Serial ROM....  0%% \nSerial ROM write error (-44)\n"
  expect_calls StartSromRead 0
  expect_calls CloseDevice 1
}

test_write_failed_half_way_leaves_the_rom_damaged() {
  # Code past the middle of the ROM: the half that was written is not
  # the whole image, as on a real part.
  one MX25L4005A 4 "poll-fault write -22 at 50%"
  vxsim make-mem big.mem --revision 4 --code-size 24576
  vxsrom /srom 2 /write big.mem cfg.ini
  expect_status -5
  expect_rom 04:00.0 <<'R'
  image damaged: checksum mismatch
R
  vxsrom /srom 2
  expect_status 0
  expect_out <<'O'
Bus:0x04 Device:0x00 Function:0x00
This Device is VX5130A(Revision 4).
     FW Version : None
     PCI Subsystem Vendor ID : None
     PCI Subsystem ID : None
O
  sed -i '/poll-fault/d' machine.txt
  vxsrom /srom 2 /verify big.mem cfg.ini
  expect_status -8
  expect_outf "$TARGET4$MISMATCH"
}

test_verification_read_failures() {
  one MX25L4005A 4 "fault StartSromRead -21"
  vxsrom /srom 2 /write fw4.mem cfg.ini
  expect_status -5
  expect_outf "$TARGET4$ERASED${WRITTEN}Serial ROM read error (-21)\n"
  expect_calls CloseDevice 1
  one MX25L4005A 4 "poll-fault read -17 at 0"
  vxsrom /srom 2 /write fw4.mem cfg.ini
  expect_status -5
  expect_outf "$TARGET4$ERASED${WRITTEN}Verify Serial ROM....  0%% \nSerial ROM read error (-17)\n"
  expect_calls CloseDevice 1
}

test_image_info_failure() {
  one MX25L4005A 4 ""
  sed -i '1i fault GetSromImageInfo -46' machine.txt
  vxsrom /srom 2 /write fw4.mem cfg.ini
  expect_status -11
  expect_out <<'O'
Get SROM Image Info error (-46)
O
  expect_calls EnumerateDevices 0
}

test_64k_rom_written_in_its_first_32k() {
  one M25P05
  vxsrom /srom 0 /write fw4.mem cfg.ini
  expect_status 0
  expect_outf "$TARGET4$ERASED$WRITTEN$VERIFIED"
  grep -q '^StartSromWrite(04:00.0, 32768, image, 1) = 0' trace.txt || fail "write size"
  grep -q '^PollSromRead(04:00.0, 32768) = 0' trace.txt || fail "read size"
}

test_fout_with_listed_type_touches_no_controller() {
  one MX25L4005A
  vxsrom /srom 2 /write fw4.mem cfg.ini x.eui /fout image.bin
  expect_status 0
  expect_outf 'Write output file....  0%%\rWrite output file....  100%% \nWrite complete\n'
  expect_size image.bin 32768
  expect_calls EnumerateDevices 0
  expect_calls OpenDevice 0
  # The file holds what /write puts into the ROM.
  vxsrom /srom 2 /write fw4.mem cfg.ini x.eui
  cmp image.bin rom.bin || fail "file differs from the written ROM"
}

test_fout_with_auto_opens_checks_and_closes() {
  one MX25L4005A
  vxsrom /srom 0 /write fw4.mem /fout image.bin
  expect_status 0
  expect_outf "${TARGET4}Write output file....  0%%\rWrite output file....  100%% \nWrite complete\n"
  expect_size image.bin 32768
  expect_calls GetSromImageInfo 1
  expect_calls StartSromWrite 0
  expect_calls CloseDevice 1
  rm image.bin
  vxsrom /srom 0 /write fw3.mem /fout image.bin
  expect_status -16
  expect_no_file image.bin
}

test_fout_unopenable_keeps_old_file() {
  one MX25L4005A
  vxsrom /srom 2 /write fw4.mem /fout missing/image.bin
  expect_status -12
  expect_out <<'O'
Output file open error: missing/image.bin(wb) (2)
O
  expect_no_file missing
  mkdir dir
  vxsrom /srom 2 /write fw4.mem /fout dir
  expect_status -12
  grep -q '^Output file open error: dir(wb) (' out.txt || fail "no open error"
}
