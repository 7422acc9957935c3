# The simulator driven by the program: a write that verifies, the listing
# that decodes what was written, and a wrong ROM type doing real damage.

sim_machine() {
  vxsim create m.txt --speed 0 --trace t.log
  vxsim add m.txt 04:00.0 --part "$1"
  export VXCTL_SIM_MACHINE=m.txt
  # Relative names: on Windows a path starting with / reads as an option.
  cp "$E2E_EXAMPLES"/*.mem "$E2E_EXAMPLES"/*.ini "$E2E_EXAMPLES"/*.eui .
}

test_write_then_list() {
  sim_machine MX25L4005A
  chmod 640 rom-04-00-0.bin
  vxsrom /srom 2 /write "fw-rev4.mem" "config.ini" "eui64.eui"
  expect_status 0
  expect_out_has "Verify complete"
  # The ROM file is replaced, not rewritten: its permissions carry over.
  is_windows || [ "$(stat -c %a rom-04-00-0.bin)" = 640 ] || fail "ROM file mode not kept"
  [ "$(grep -c '^CloseDevice(' t.log)" -eq 1 ] || fail "CloseDevice not called exactly once"
  grep -qx 'OpenDevice(04:00.0, 2, {0x8000, 0x100, 0x60E0}) = 0' t.log || fail "open not traced"
  vxsrom /srom 2
  expect_status 0
  expect_out_has "     FW Version : 2.0.2.6-1.B"
  # The samples differ from the demo machine's factory image, so that a
  # write of them shows.
  expect_out_has "     PCI Subsystem Vendor ID : 0x5658"
  expect_out_has "     PCI Subsystem ID : 0x0130"
  expect_out_has "     EUI-64 : 02-56-58-FF-FE-00-00-01"
}

test_wrong_type_fails_verification() {
  sim_machine MX25L4005A
  vxsim program m.txt 04:00.0 "fw-rev3.mem"
  # Type 3 erases with 0xC7, which this part ignores.
  vxsrom /srom 3 /norev /write "fw-rev4.mem" "config.ini"
  expect_status -8
  expect_out_has "ERROR::Verify mismatch!"
}

test_auto_detect_and_unsupported() {
  sim_machine UNSUPPORTED
  vxsrom /srom ?
  expect_status -1
  expect_out_has "Unsupported Serial ROM!"
}

test_poll_fault_and_busy() {
  sim_machine W25X40BV
  echo "poll-fault write -22 at 50%" >> m.txt
  vxsrom /srom 3 /write "fw-rev4.mem" "config.ini"
  expect_status -5
  grep -q '^PollSromProgress(04:00.0) = -22 16384$' t.log || fail "poll fault not traced"
}

test_description_errors_reach_stderr_readable() {
  # The library writes its diagnostics past the program's C streams, which
  # the Windows build puts in UTF-8 text mode.
  printf 'speed 0\nbogus\n' > "maschine-ü.txt"
  export VXCTL_SIM_MACHINE="maschine-ü.txt"
  vxsrom /srom 2
  expect_status -1
  expect_out <<'O'
vxctl Library Initilize Error! (-32)
O
  expect_err_has "vxctl: machine description maschine-ü.txt: line 2: unknown keyword 'bogus'"
}

test_fifo_description_or_rom_refused_without_waiting() {
  # timeout: a regression blocks in the open instead of failing here.
  mkfifo desc.fifo rom.fifo
  export VXCTL_SIM_MACHINE=desc.fifo
  run "timeout 60 $VXSROM" /srom 2
  expect_status -1
  expect_out <<'O'
vxctl Library Initilize Error! (-31)
O
  expect_err_has "vxctl: machine description desc.fifo: not a regular file"
  machine <<'M'
speed 0
controller 04:00.0 revision 4 part MX25L4005A rom rom.fifo
M
  run "timeout 60 $VXSROM" /srom 2
  expect_status -1
  expect_out <<'O'
vxctl Library Initilize Error! (-33)
O
  # wine reports a FIFO as absent, so there the library tries to create
  # the ROM file in its place, and fails with the same status.
  is_windows || expect_err_has "vxctl: ROM file rom.fifo is not a regular file"
}
