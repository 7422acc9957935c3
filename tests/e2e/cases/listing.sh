# The listing: a run without an action lists the controllers, with a ROM
# type also what their ROMs hold, with "/srom ?" the ROM part fitted.

ex() { echo "$E2E_EXAMPLES/$1"; }

# Three controllers: revisions 4 (programmed), 2 and 3 (blank ROMs).
three_revisions() {
  machine <<'M'
speed 0
trace trace.txt
controller 04:00.0 revision 4 part MX25L4005A rom a.bin
controller 05:00.0 revision 2 part MX25L4005A rom b.bin
controller 06:08.1 revision 3 part MX25L4005A rom c.bin
M
  vxsim program machine.txt 04:00.0 "$(ex fw-rev4.mem)" "$(ex config.ini)" "$(ex eui64.eui)"
}

programmed_lines() {
  cat <<'O'
     FW Version : 2.0.2.6-1.B
     PCI Subsystem Vendor ID : 0x5658
     PCI Subsystem ID : 0x0130
     EUI-64 : 02-56-58-FF-FE-00-00-01
O
}

none_lines() {
  cat <<'O'
     FW Version : None
     PCI Subsystem Vendor ID : None
     PCI Subsystem ID : None
O
}

closing_lines() {
  printf '\nThis tool is for VX5130(Revision 3) and VX5130A(Revision 4).\n'
  printf 'Vesmark Electronics release appropriate tool for the chip revision.\n'
}

opens() { grep -c '^OpenDevice(' trace.txt || true; }

# Without a description named, the stand-in library says on stderr that
# the machine is simulated, and where its files are; with one, it is quiet.
test_demo_machine_says_it_is_simulated() {
  vxsrom
  expect_status 0
  expect_out_has "Bus:0x04 Device:0x00 Function:0x00"
  sed 's/\r$//' err.txt > err-unix.txt
  [ "$(wc -l < err-unix.txt)" -eq 1 ] || { cat err-unix.txt >&2; fail "not one line on stderr"; }
  if is_windows; then
    expect_err_has "vxctl: a simulated machine is in use: the demo machine, files in "
  else
    expect_err_has "vxctl: a simulated machine is in use: the demo machine, files in $XDG_STATE_HOME/vxctl-sim/ (VXCTL_SIM_MACHINE names another)"
  fi
  machine <<'M'
speed 0
controller 04:00.0 revision 4 part MX25L4005A rom a.bin
M
  vxsrom
  expect_status 0
  [ ! -s err.txt ] || { cat err.txt >&2; fail "stderr with a named machine"; }
}
closes() { grep -c '^CloseDevice(' trace.txt || true; }

test_no_controller() {
  machine <<'M'
speed 0
M
  for args in '' '/srom 1' '/srom ?' '/srom 0'; do
    vxsrom $args
    expect_status -6
    expect_out <<'O'
Device not found!
O
  done
}

test_addresses_only_without_rom_type() {
  three_revisions
  vxsrom
  expect_status 0
  { cat <<'O'
Bus:0x04 Device:0x00 Function:0x00
This Device is VX5130A(Revision 4).
Bus:0x05 Device:0x00 Function:0x00
Bus:0x06 Device:0x08 Function:0x01
This Device is VX5130(Revision 3).

O
    cat "$E2E_EXPECTED/help-short.txt"; } > want.txt
  cmp out.txt want.txt || { diff want.txt out.txt; fail "listing differs"; }
  [ "$(opens)" -eq 0 ] || fail "a controller was opened"
}

test_rom_contents_with_a_type_skip_other_revisions() {
  three_revisions
  vxsrom /srom 2
  expect_status 0
  { printf 'Bus:0x04 Device:0x00 Function:0x00\nThis Device is VX5130A(Revision 4).\n'
    programmed_lines
    printf 'Bus:0x05 Device:0x00 Function:0x00\n     This chip revision is 2.\n'
    printf 'Bus:0x06 Device:0x08 Function:0x01\nThis Device is VX5130(Revision 3).\n'
    none_lines
    closing_lines; } > want.txt
  cmp out.txt want.txt || { diff want.txt out.txt; fail "listing differs"; }
  [ "$(opens)" -eq 2 ] && [ "$(closes)" -eq 2 ] || fail "opens $(opens), closes $(closes)"
  grep -qx 'OpenDevice(04:00.0, 2, {0x8000, 0x100, 0x60E0}) = 0' trace.txt || fail "geometry of type 2 not passed"
}

test_norev_opens_every_revision() {
  three_revisions
  vxsrom /srom 2 /norev
  expect_status 0
  { printf 'Bus:0x04 Device:0x00 Function:0x00\nThis Device is VX5130A(Revision 4).\n'
    programmed_lines
    printf 'Bus:0x05 Device:0x00 Function:0x00\n'
    none_lines
    printf 'Bus:0x06 Device:0x08 Function:0x01\nThis Device is VX5130(Revision 3).\n'
    none_lines; } > want.txt
  cmp out.txt want.txt || { diff want.txt out.txt; fail "listing differs"; }
}

test_custom_type_lists_like_a_listed_one() {
  three_revisions
  vxsrom /srominfo 0 0x100 0x60E0
  expect_status 0
  head -n 6 out.txt > head.txt
  { printf 'Bus:0x04 Device:0x00 Function:0x00\nThis Device is VX5130A(Revision 4).\n'; programmed_lines; } > want.txt
  cmp head.txt want.txt || fail "custom type listing differs"
}

test_query_identifies_every_part() {
  machine <<'M'
speed 0
controller 01:00.0 revision 3 part AT25F512 rom 1.bin
controller 02:00.0 revision 3 part MX25L4005A rom 2.bin
controller 03:00.0 revision 3 part W25X40BV rom 3.bin
controller 04:00.0 revision 3 part MX25L5121E rom 4.bin
controller 05:00.0 revision 4 part 25LC512 rom 5.bin
controller 06:00.0 revision 4 part SST25VF512A rom 6.bin
controller 07:00.0 revision 4 part UNSUPPORTED rom 7.bin
controller 08:00.0 revision 2 part M25P05 rom 8.bin
M
  vxsrom /srom '?'
  expect_status -1
  expect_out <<'O'
Bus:0x01 Device:0x00 Function:0x00
This Device is VX5130(Revision 3).
    AT25F512/A/B(ATMEL)  Type : 1, PageSize = 0x80, Chip Erase = 0x62
Bus:0x02 Device:0x00 Function:0x00
This Device is VX5130(Revision 3).
    MX25L512/2005/4005A/4005C/2006E/4006E(MACRONIX)/Pm25LD512C/010C/020C(Chingis)   Type : 2, PageSize = 0x100, Chip Erase = 0x60
Bus:0x03 Device:0x00 Function:0x00
This Device is VX5130(Revision 3).
    W25X10BV/20BV/40BV(WINBOND)/EN25F05/10/20/40/(EON)/A25L512/010/020/040(AMIC) Type : 3, PageSize = 0x100, Chip Erase = 0xC7
Bus:0x04 Device:0x00 Function:0x00
This Device is VX5130(Revision 3).
    MX25L5121E/1021E(MACRONIX) Type : 4, PageSize = 0x20, Chip Erase = 0x60
Bus:0x05 Device:0x00 Function:0x00
This Device is VX5130A(Revision 4).
    Unknown SROM         Type : -, PageSize = 0x80, Chip Erase = 0x00
Bus:0x06 Device:0x00 Function:0x00
This Device is VX5130A(Revision 4).
    Unknown SROM         Type : -, PageSize = 0x1, Chip Erase = 0x60
Bus:0x07 Device:0x00 Function:0x00
This Device is VX5130A(Revision 4).
Unsupported Serial ROM!
Bus:0x08 Device:0x00 Function:0x00
     This chip revision is 2.

This tool is for VX5130(Revision 3) and VX5130A(Revision 4).
Vesmark Electronics release appropriate tool for the chip revision.
O
}

test_query_all_identified_is_success() {
  machine <<'M'
speed 0
controller 01:00.0 revision 3 part W25X40BV rom 1.bin
M
  vxsrom /srom '?'
  expect_status 0
  expect_out_has "    W25X10BV/20BV/40BV(WINBOND)/EN25F05/10/20/40/(EON)/A25L512/010/020/040(AMIC) Type : 3, PageSize = 0x100, Chip Erase = 0xC7"
}

test_query_failure_other_than_unsupported() {
  machine <<'M'
speed 0
controller 01:00.0 revision 3 part W25X40BV rom 1.bin
fault GetSromInfo -17
M
  vxsrom /srom '?'
  expect_status -1
  expect_out <<'O'
Bus:0x01 Device:0x00 Function:0x00
This Device is VX5130(Revision 3).
Can't get Serial ROM Information (-17)
O
}

test_open_failing_on_first_of_two() {
  three_revisions
  sed -i '/^controller 05/d' machine.txt
  sed -i 's/^\(controller 04.*\)$/\1\nfault OpenDevice -14/' machine.txt
  vxsrom /srom 2
  expect_status -1
  { printf 'Bus:0x04 Device:0x00 Function:0x00\nThis Device is VX5130A(Revision 4).\n'
    printf "Can't open device! (-14)\n"
    printf 'Bus:0x06 Device:0x08 Function:0x01\nThis Device is VX5130(Revision 3).\n'
    none_lines; } > want.txt
  cmp out.txt want.txt || { diff want.txt out.txt; fail "listing differs"; }
  [ "$(closes)" -eq 1 ] || fail "closes $(closes)"
}

test_device_information_kinds() {
  machine <<'M'
speed 0
controller 01:00.0 revision 4 part MX25L4005A rom programmed.bin
controller 02:00.0 revision 4 part MX25L4005A rom blank.bin
controller 03:00.0 revision 4 part MX25L4005A rom damaged.bin
controller 04:00.0 revision 4 part MX25L4005A rom zeros.bin
controller 05:00.0 revision 4 part MX25L4005A rom faulty.bin
fault GetDeviceInfo -17
M
  vxsim program machine.txt 01:00.0 "$(ex fw-rev4.mem)" "$(ex config.ini)" "$(ex eui64.eui)"
  vxsim program machine.txt 03:00.0 "$(ex fw-rev4.mem)" "$(ex config.ini)"
  vxsim poke machine.txt 03:00.0 0x100 0x12 0x34
  head -c 32768 /dev/zero > zeros.bin
  vxsrom /srom 2
  expect_status -1
  { printf 'Bus:0x01 Device:0x00 Function:0x00\nThis Device is VX5130A(Revision 4).\n'
    programmed_lines
    for b in 02 03 04; do
      printf 'Bus:0x%s Device:0x00 Function:0x00\nThis Device is VX5130A(Revision 4).\n' $b
      none_lines
    done
    printf 'Bus:0x05 Device:0x00 Function:0x00\nThis Device is VX5130A(Revision 4).\n'
    printf "Can't get device information! (-17)\n"; } > want.txt
  cmp out.txt want.txt || { diff want.txt out.txt; fail "listing differs"; }
}

test_rom_values_shown_and_hidden() {
  machine <<'M'
speed 0
controller 01:00.0 revision 3 part AT25F512 rom 1.bin
controller 02:00.0 revision 3 part AT25F512 rom 2.bin
controller 03:00.0 revision 3 part AT25F512 rom 3.bin
controller 04:00.0 revision 3 part AT25F512 rom 4.bin
M
  vxsim make-mem zero.mem --revision 3 --version 0.0.0.0-0.0
  vxsim make-mem v.mem --revision 3 --version F.0.1.A-FF.10
  vxsim make-ini ids.ini --ssvid 0x1B21 --ssid 0
  vxsim make-eui low.eui 00-00-00-00-00-00-00-01
  vxsim make-eui high.eui FF-FF-FF-FF-FF-FF-FF-FE
  vxsim make-eui zeros.eui 00-00-00-00-00-00-00-00
  vxsim make-eui ones.eui FF-FF-FF-FF-FF-FF-FF-FF
  vxsim program machine.txt 01:00.0 zero.mem ids.ini low.eui
  vxsim program machine.txt 02:00.0 v.mem ids.ini high.eui
  vxsim program machine.txt 03:00.0 v.mem ids.ini zeros.eui
  vxsim program machine.txt 04:00.0 v.mem ids.ini ones.eui
  vxsrom /srom 1
  expect_status 0
  expect_out <<'O'
Bus:0x01 Device:0x00 Function:0x00
This Device is VX5130(Revision 3).
     FW Version : None
     PCI Subsystem Vendor ID : 0x1B21
     PCI Subsystem ID : None
     EUI-64 : 00-00-00-00-00-00-00-01
Bus:0x02 Device:0x00 Function:0x00
This Device is VX5130(Revision 3).
     FW Version : F.0.1.A-FF.10
     PCI Subsystem Vendor ID : 0x1B21
     PCI Subsystem ID : None
     EUI-64 : FF-FF-FF-FF-FF-FF-FF-FE
Bus:0x03 Device:0x00 Function:0x00
This Device is VX5130(Revision 3).
     FW Version : F.0.1.A-FF.10
     PCI Subsystem Vendor ID : 0x1B21
     PCI Subsystem ID : None
Bus:0x04 Device:0x00 Function:0x00
This Device is VX5130(Revision 3).
     FW Version : F.0.1.A-FF.10
     PCI Subsystem Vendor ID : 0x1B21
     PCI Subsystem ID : None
O
}

test_auto_mode_opens_with_the_row_as_it_stands() {
  machine <<'M'
speed 0
trace trace.txt
controller 04:00.0 revision 4 part W25X40BV rom a.bin
controller 05:00.0 revision 3 part AT25F512 rom b.bin
controller 06:00.0 revision 3 part UNSUPPORTED rom c.bin
controller 07:00.0 revision 3 part MX25L5121E rom d.bin
fault GetSromInfo -22
M
  vxsim program machine.txt 04:00.0 "$(ex fw-rev4.mem)" "$(ex config.ini)" "$(ex eui64.eui)"
  vxsrom /srom 0
  expect_status -1
  { printf 'Bus:0x04 Device:0x00 Function:0x00\nThis Device is VX5130A(Revision 4).\n'
    programmed_lines
    printf 'Bus:0x05 Device:0x00 Function:0x00\nThis Device is VX5130(Revision 3).\n'
    none_lines
    printf 'Bus:0x06 Device:0x00 Function:0x00\nThis Device is VX5130(Revision 3).\n'
    printf 'Unsupported Serial ROM!\n'
    printf 'Bus:0x07 Device:0x00 Function:0x00\nThis Device is VX5130(Revision 3).\n'
    printf "Can't get Serial ROM Information (-22)\n"; } > want.txt
  cmp out.txt want.txt || { diff want.txt out.txt; fail "listing differs"; }
  grep '^OpenDevice(' trace.txt > opens.txt
  cat > want-opens.txt <<'O'
OpenDevice(04:00.0, 2, {0x0, 0x0, 0x0000}) = 0
OpenDevice(05:00.0, 2, {0x8000, 0x100, 0xC7E0}) = 0
OpenDevice(06:00.0, 2, {0x8000, 0x80, 0x62E0}) = 0
OpenDevice(07:00.0, 2, {0x8000, 0x80, 0x62E0}) = 0
O
  cmp opens.txt want-opens.txt || { diff want-opens.txt opens.txt; fail "geometries at open differ"; }
  [ "$(closes)" -eq 4 ] || fail "closes $(closes)"
}

test_count_changing_between_enumeration_calls() {
  machine <<'M'
speed 0
trace trace.txt
enumerate counts 1 2
controller 04:00.0 revision 4 part MX25L4005A rom a.bin
controller 05:00.0 revision 3 part MX25L4005A rom b.bin
M
  vxsrom /srom 2
  expect_status 0
  grep -c '^EnumerateDevices(' trace.txt > n.txt
  [ "$(cat n.txt)" -eq 3 ] || fail "$(cat n.txt) enumeration calls"
  expect_out_has "Bus:0x05 Device:0x00 Function:0x00"
}

test_enumeration_failure() {
  machine <<'M'
speed 0
fault EnumerateDevices -11
M
  vxsrom /srom 1
  expect_status -6
  expect_out <<'O'
Device Enumration Error! (-11)
O
}
