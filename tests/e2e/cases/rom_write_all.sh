# /writeall: one image for every controller whose chip revision matches,
# in enumeration order; a failed verification is never reported as success.
. "$(dirname "${BASH_SOURCE[0]}")/rom_common.inc"

T05='[Target Device]Bus:0x05 Device:0x00 Function:0x00\nThis Device is VX5130(Revision 3).\n'
T06='[Target Device]Bus:0x06 Device:0x00 Function:0x00\nThis Device is VX5130A(Revision 4).\n'

# three [LINE04] [LINE05]: 04:00.0 and 05:00.0 of revision 3, 06:00.0 of
# revision 4, each with a type-2 part; extra lines go with the first two.
three() {
  machine <<M
speed 0
trace trace.txt
controller 04:00.0 revision 3 part MX25L4005A rom rom4.bin
${1:-}
controller 05:00.0 revision 3 part MX25L4005A rom rom5.bin
${2:-}
controller 06:00.0 revision 4 part MX25L4005A rom rom6.bin
M
  samples
}

WRITTEN3='  firmware revision 3, version 1.0.3.0-0.A, 4096 bytes of code
  subsystem vendor ID 0x1106, subsystem ID 0x3483
  laid out for page size 0x100, device code 0x60E0
  checksums correct'

test_matching_revisions_written_in_order() {
  three
  vxsrom /srom 2 /writeall fw3.mem cfg.ini
  expect_status 0
  expect_outf "$TARGET3$ERASED$WRITTEN$VERIFIED$T05$ERASED$WRITTEN$VERIFIED"
  expect_calls UpdateSromImage 1
  expect_calls GetSromImageInfo 1
  expect_calls OpenDevice 2
  expect_calls CloseDevice 2
  expect_rom 04:00.0 <<<"$WRITTEN3"
  expect_rom 05:00.0 <<<"$WRITTEN3"
  expect_rom 06:00.0 <<'R'
  blank
R
}

test_norev_writes_every_controller() {
  three
  vxsrom /srom 2 /writeall fw3.mem cfg.ini /norev
  expect_status 0
  expect_outf "$TARGET3$ERASED$WRITTEN$VERIFIED$T05$ERASED$WRITTEN$VERIFIED$T06$ERASED$WRITTEN$VERIFIED"
  expect_calls GetSromImageInfo 0
  expect_rom 06:00.0 <<<"$WRITTEN3"
}

test_no_matching_controller() {
  machine <<'M'
speed 0
trace trace.txt
controller 04:00.0 revision 3 part MX25L4005A rom rom4.bin
M
  samples
  vxsrom /srom 2 /writeall fw4.mem
  expect_status -6
  expect_out <<'O'
Device not found!
O
  expect_calls OpenDevice 0
}

test_no_controller_at_all() {
  machine <<'M'
speed 0
trace trace.txt
M
  samples
  vxsrom /srom 2 /writeall fw4.mem
  expect_status -6
  expect_out <<'O'
Device not found!
O
  expect_calls UpdateSromImage 0
}

test_auto_refuses_64k_rom_and_stops() {
  machine <<'M'
speed 0
trace trace.txt
controller 04:00.0 revision 3 part M25P05 rom rom4.bin
controller 05:00.0 revision 3 part MX25L4005A rom rom5.bin
M
  samples
  vxsrom /srom 0 /writeall fw3.mem cfg.ini
  expect_status -15
  expect_outf "${TARGET3}SROM size error!\n"
  grep -q '^UpdateSromImage("fw3.mem", "cfg.ini", null, null, buffer) = 0' trace.txt || fail "build"
  expect_calls OpenDevice 1
  expect_calls CloseDevice 1
  expect_rom 05:00.0 <<'R'
  blank
R
}

test_auto_unsupported_rom() {
  machine <<'M'
speed 0
trace trace.txt
controller 04:00.0 revision 3 part UNSUPPORTED rom rom4.bin
M
  samples
  vxsrom /srom 0 /writeall fw3.mem
  expect_status -17
  expect_outf "${TARGET3}Unsupported Serial ROM!\n"
  expect_calls CloseDevice 1
}

test_auto_patches_and_erases_each_rom_by_its_own_rules() {
  machine <<'M'
speed 0
trace trace.txt
controller 04:00.0 revision 3 part AT25F512 rom rom4.bin
controller 05:00.0 revision 3 part 25LC512 rom rom5.bin
controller 06:00.0 revision 3 part W25X40BV rom rom6.bin
M
  samples
  vxsrom /srom 0 /writeall fw3.mem cfg.ini
  expect_status 0
  T06_3='[Target Device]Bus:0x06 Device:0x00 Function:0x00\nThis Device is VX5130(Revision 3).\n'
  expect_outf "$TARGET3$ERASED$WRITTEN$VERIFIED$T05$WRITTEN$VERIFIED$T06_3$ERASED$WRITTEN$VERIFIED"
  grep -q '^PatchSromImage(buffer, 32768, 0, 0, null, {0x8000, 0x80, 0x62E0}, null, 4) = 0' trace.txt || fail "patch 1"
  grep -q '^PatchSromImage(buffer, 32768, 0, 0, null, {0x8000, 0x80, 0x0080}, null, 4) = 0' trace.txt || fail "patch 2"
  grep -q '^PatchSromImage(buffer, 32768, 0, 0, null, {0x8000, 0x100, 0xC7E0}, null, 4) = 0' trace.txt || fail "patch 3"
  grep -q '^StartSromErase(04:00.0, 1)' trace.txt || fail "erase 1"
  grep -q '^StartSromErase(05:00.0, 1)' trace.txt && fail "EEPROM erased"
  grep -q '^StartSromErase(06:00.0, 1)' trace.txt || fail "erase 3"
  expect_calls UpdateSromImage 1
  expect_calls CloseDevice 3
  $VXSIM show machine.txt | grep -c 'checksums correct' | grep -qx 3 || fail "not all written"
  $VXSIM show machine.txt | grep -q 'page size 0x80, device code 0x62E0' || fail "layout 1"
  $VXSIM show machine.txt | grep -q 'page size 0x100, device code 0xC7E0' || fail "layout 3"
}

test_type_255_and_noerase_never_erase() {
  machine <<'M'
speed 0
trace trace.txt
controller 04:00.0 revision 3 part 25LC512 rom rom4.bin
controller 05:00.0 revision 3 part 25LC512 rom rom5.bin
M
  samples
  vxsrom /srom 255 /writeall fw3.mem
  expect_status 0
  expect_outf "$TARGET3$WRITTEN$VERIFIED$T05$WRITTEN$VERIFIED"
  expect_calls StartSromErase 0
  # Fresh blank flash parts: written flash is only cleared by an erase.
  rm -f trace.txt rom4.bin rom5.bin
  three
  vxsrom /srom 2 /writeall fw3.mem /noerase
  expect_status 0
  expect_outf "$TARGET3$WRITTEN$VERIFIED$T05$WRITTEN$VERIFIED"
  expect_calls StartSromErase 0
}

test_open_failure_on_second_after_first_written() {
  three "" "fault OpenDevice -14"
  vxsrom /srom 2 /writeall fw3.mem cfg.ini
  expect_status -1
  expect_outf "$TARGET3$ERASED$WRITTEN$VERIFIED${T05}Can't open device! (-14)\n"
  expect_calls CloseDevice 1
  expect_rom 04:00.0 <<<"$WRITTEN3"
}

test_write_failure_stops_and_closes() {
  three "poll-fault write -22 at 50%"
  vxsrom /srom 2 /writeall fw3.mem cfg.ini
  expect_status -5
  expect_outf "$TARGET3${ERASED}Write Serial ROM....  0%% \nSerial ROM write error (-22)\n"
  expect_calls CloseDevice 1
  expect_calls OpenDevice 1
  expect_rom 05:00.0 <<'R'
  blank
R
}

test_first_fails_verification_second_passes() {
  three "stuck 0x7000 0x00"
  vxsrom /srom 2 /writeall fw3.mem cfg.ini
  expect_status -8
  expect_outf "$TARGET3$ERASED$WRITTEN$MISMATCH$T05$ERASED$WRITTEN$VERIFIED"
  expect_calls CloseDevice 2
  expect_rom 05:00.0 <<<"$WRITTEN3"
}

test_second_fails_verification() {
  three "" "stuck 0x7000 0x00"
  vxsrom /srom 2 /writeall fw3.mem cfg.ini
  expect_status -8
  expect_outf "$TARGET3$ERASED$WRITTEN$VERIFIED$T05$ERASED$WRITTEN$MISMATCH"
  expect_calls CloseDevice 2
}

test_first_verification_failure_is_the_result() {
  three "poll-fault read -21 at 0" "stuck 0x7000 0x00"
  vxsrom /srom 2 /writeall fw3.mem cfg.ini
  expect_status -5
  expect_outf "$TARGET3$ERASED${WRITTEN}Verify Serial ROM....  0%% \nSerial ROM read error (-21)\n$T05$ERASED$WRITTEN$MISMATCH"
  expect_calls CloseDevice 2
}

# The alternative to /writeall when every board needs its own EUI-64: the
# line example of examples/ (line.sh; line.bat under wine), one /address
# at a time.  A board that fails verification does not stop the others,
# and the script's status says that one failed.
test_line_example_writes_each_board_with_its_own_eui64() {
  machine <<'M'
speed 0
controller 04:00.0 revision 4 part MX25L4005A rom a.bin
controller 05:00.0 revision 4 part MX25L4005A rom b.bin
controller 1A:1F.7 revision 4 part MX25L4005A rom c.bin
stuck 0x7000 0x00
M
  examples
  for i in 1 2 3; do vxsim make-eui "b$i.eui" "02-56-58-FF-FE-00-00-1$i"; done
  # Windows line ends, an address in the wrong form, no final line feed.
  printf '# station 1\r\n04-00-0 b1.eui\r\n04:00.0 b1.eui\r\n5-0-0 b2.eui\r\n1a-1f-7 b3.eui' > list.txt
  line_script() {
    local script
    if is_windows; then
      cp "$E2E_EXAMPLES/line.bat" .
      copy_program bin vxsrom > /dev/null
      copy_library "$VXSROM_BUILD_DIR" bin
      VXSROM='bin\vxsrom.exe' run "wine cmd /c line.bat" "$@"
      # 127 is wine's own: cmd.exe did not start (seen once on a loaded
      # machine); the script itself ends with 0, 1 or 2.
      [ "$status" -ne 127 ] || VXSROM='bin\vxsrom.exe' run "wine cmd /c line.bat" "$@"
    else
      VXSROM="$VXSROM" run "sh $E2E_EXAMPLES/line.sh" "$@"
    fi
  }
  line_script list.txt
  [ "$status" -eq 1 ] || fail "line status $status, expected 1"
  grep '^line: ' out.txt > summary.txt
  grep -v '^line: logged: ' summary.txt > results.txt
  diff - results.txt <<'O'
line: 04-00-0 b1.eui: written and verified
line: 5-0-0 b2.eui: written and verified
line: 1a-1f-7 b3.eui: FAILED with exit code -8 (the operator's guide says why)
line: 4 boards, 2 written and verified, 2 failed
O
  expect_err_has "line: 04:00.0: not an address BB-DD-F (hexadecimal, e.g. 04-00-0)"
  printf '# nothing yet\n' > empty.txt
  line_script empty.txt
  [ "$status" -eq 2 ] || fail "an empty list: status $status, expected 2"
  expect_err_has "line: empty.txt names no board"
  [ "$(grep -c '^line: logged: ' summary.txt)" -eq 3 ] || fail "records not read back"
  for i in 1 2; do
    expect_rom 0$((i + 3)):00.0 <<R
  firmware revision 4, version 2.0.2.6-1.B, 4096 bytes of code
  subsystem vendor ID 0x5658, subsystem ID 0x0130
  EUI-64 02-56-58-FF-FE-00-00-1$i
  laid out for page size 0x100, device code 0x60E0
  checksums correct
R
  done
  sed 's/\r$//; s/\][^]]*vxsrom\(\.exe\)\{0,1\} /]PROG /' line.log > records.txt
  diff - records.txt <<'L'
[04:00:00][Return = 0]PROG /srom 2 /address 04-00-0 /write fw-rev4.mem config.ini b1.eui /log line.log
[05:00:00][Return = 0]PROG /srom 2 /address 5-0-0 /write fw-rev4.mem config.ini b2.eui /log line.log
[1A:1F:07][Return = -8]PROG /srom 2 /address 1a-1f-7 /write fw-rev4.mem config.ini b3.eui /log line.log
L
  # A log held by another process: vxsrom writes the board, but the run
  # has no record, and the script does not count the board as done.
  printf '04-00-0 b1.eui\n' > one.txt
  hold line.log
  line_script one.txt
  release line.log
  [ "$status" -eq 1 ] || fail "line status $status with the log held, expected 1"
  expect_err_has "line: 04-00-0: this run has no record in line.log"
  expect_out_has "line: 04-00-0 b1.eui: written and verified"
  [ "$(wc -l < line.log)" -eq 3 ] || fail "a record was added to the held log"
}
