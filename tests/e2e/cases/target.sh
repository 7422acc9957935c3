# Choosing the one controller that /erase, /write, /dump and /verify work
# on: uniqueness or /address, the chip revision rules, then the open.

ERASED='Erase Serial ROM....  0%%\rErase Serial ROM....  100%% \rErase Serial ROM....  100%%\nErase complete\n'

calls() { grep -c "^$1(" trace.txt || true; }

two_controllers() {
  machine <<M
speed 0
trace trace.txt
controller 04:00.0 revision ${1:-4} part MX25L4005A rom a.bin
controller 0A:1F.7 revision ${2:-3} part MX25L4005A rom b.bin
M
}

test_the_only_controller() {
  machine <<'M'
speed 0
trace trace.txt
controller 04:00.0 revision 4 part MX25L4005A rom a.bin
M
  vxsrom /srom 2 /erase
  expect_status 0
  expect_outf "[Target Device]Bus:0x04 Device:0x00 Function:0x00\nThis Device is VX5130A(Revision 4).\n$ERASED"
  grep -qx 'OpenDevice(04:00.0, 2, {0x8000, 0x100, 0x60E0}) = 0' trace.txt || fail "not opened with type 2"
  [ "$(calls CloseDevice)" -eq 1 ] || fail "CloseDevice $(calls CloseDevice) times"
}

test_several_controllers_need_an_address() {
  two_controllers
  vxsrom /srom 2 /erase
  expect_status -6
  expect_out <<'O'
2 device was found! Please select device by "/address" option.
O
  [ "$(calls OpenDevice)" -eq 0 ] || fail "a controller was opened"
}

test_address_chooses_among_several() {
  two_controllers
  vxsrom /srom 2 /erase /address a-1f-7
  expect_status 0
  expect_outf "[Target Device]Bus:0x0A Device:0x1F Function:0x07\nThis Device is VX5130(Revision 3).\n$ERASED"
  grep -q '^OpenDevice(0A:1F.7' trace.txt || fail "wrong controller opened"
}

test_address_not_present() {
  two_controllers
  vxsrom /srom 2 /erase /address 4-0-1
  expect_status -6
  expect_out <<'O'
Specified device by "/address" option isn't VX5130 or VX5130A!
O
  [ "$(calls OpenDevice)" -eq 0 ] || fail "a controller was opened"
}

test_unsupported_chip_revision_refused() {
  two_controllers 4 2
  vxsrom /srom 2 /dump rom.bin /address a-1f-7
  expect_status -16
  expect_out <<'O'
[Target Device]  Bus:0x0A Device:0x1F Function:0x07
This chip revision is 2.
This tool is for VX5130(Revision 3) and VX5130A(Revision 4).
Vesmark Electronics release appropriate tool for this chip revision.
O
  [ "$(calls OpenDevice)" -eq 0 ] && [ "$(calls CloseDevice)" -eq 0 ] || fail "controller touched"
  expect_no_file rom.bin
}

test_norev_opens_any_revision_without_model_line() {
  two_controllers 4 200
  vxsrom /srom 2 /erase /address a-1f-7 /norev
  expect_status 0
  expect_outf "[Target Device]Bus:0x0A Device:0x1F Function:0x07\n$ERASED"
}

test_firmware_for_the_other_revision() {
  two_controllers
  examples
  vxsrom /srom 2 /write fw-rev4.mem config.ini /address a-1f-7
  expect_status -16
  expect_out <<'O'
This firmware revision is 4.
This chip revision is 3.
Revision is mismatch.
O
  [ "$(calls OpenDevice)" -eq 0 ] || fail "a controller was opened"
  # The target stays selected though nothing is open: the end step closes
  # the address that stands, none yet.
  grep -q '^CloseDevice(FF:1F.7) = ' trace.txt || { cat trace.txt; fail "no CloseDevice of FF:1F.7"; }
}

test_norev_writes_firmware_for_the_other_revision() {
  two_controllers
  examples
  vxsrom /srom 2 /write fw-rev4.mem config.ini /address a-1f-7 /norev
  expect_status 0
  [ "$(calls GetSromImageInfo)" -eq 0 ] || fail "image revision asked for"
  tail -n 1 out.txt > last.txt
  [ "$(cat last.txt)" = "Verify complete" ] || fail "not verified"
}

test_count_changing_between_enumeration_calls() {
  machine <<'M'
speed 0
trace trace.txt
enumerate counts 1 2
controller 04:00.0 revision 4 part MX25L4005A rom a.bin
controller 05:00.0 revision 3 part MX25L4005A rom b.bin
M
  vxsrom /srom 2 /erase
  expect_status -6
  expect_out <<'O'
2 device was found! Please select device by "/address" option.
O
  [ "$(calls EnumerateDevices)" -eq 3 ] || fail "EnumerateDevices $(calls EnumerateDevices) times"
  # A count that never settles ends the enumeration as a failure would.
  sed -i 's/^enumerate counts .*/enumerate counts 1 2 1 2 1 2 1 2 1 2 1 2 1 2 1 2 1 2 1 2/' machine.txt
  vxsrom /srom 2 /erase
  expect_status -6
  expect_out <<< 'Device Enumration Error! (-1)'
  expect_err_has 'vxsrom: the controller count kept changing over 16 enumerations'
}

test_controller_held_by_another_process() {
  machine <<'M'
speed 0
controller 04:00.0 revision 4 part MX25L4005A rom a.bin
M
  examples
  vxsim program machine.txt 04:00.0 fw-rev4.mem config.ini
  cp a.bin before.bin
  hold_controller machine.txt 04:00.0
  vxsrom /srom 2 /erase
  release_controller
  expect_status -1
  expect_out <<'O'
[Target Device]Bus:0x04 Device:0x00 Function:0x00
This Device is VX5130A(Revision 4).
Can't open device! (-14)
O
  cmp a.bin before.bin || fail "ROM changed"
}
