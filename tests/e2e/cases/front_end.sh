# Help, identity check and command-line errors: none of them starts the
# controller library or touches the run log.

test_help_normal_and_extended() {
  vxsrom '/?'
  expect_status 0
  cmp out.txt "$E2E_EXPECTED/help-normal.txt" || fail "/? differs"
  vxsrom '/???'
  expect_status 0
  cmp out.txt "$E2E_EXPECTED/help-extended.txt" || fail "/??? differs"
}

test_help_wins_over_everything_accepted_with_it() {
  machine <<'M'
fault InitializeLibrary -12
M
  vxsrom '/?' /srom 1 /write a.mem /log
  expect_status 0
  cmp out.txt "$E2E_EXPECTED/help-normal.txt" || fail "help differs"
  vxsrom /log '/???'
  expect_status 0
  cmp out.txt "$E2E_EXPECTED/help-extended.txt" || fail "help differs"
  vxsrom '/?' '/???'
  cmp out.txt "$E2E_EXPECTED/help-normal.txt" || fail "both: normal help"
  expect_no_file log.txt
}

test_parser_messages() {
  check() {
    local want=$1; shift
    vxsrom "$@"
    [ "$status" -eq 252 ] || fail "status $status for $*"
    printf '%s\n' "$want" > want.txt
    cmp -s out.txt want.txt || { cat out.txt; fail "for $*: expected $want"; }
  }
  check 'Parameter error = "/bogus"' /bogus
  check 'Parameter error = "-write"' -write
  check 'Parameter error = "/write"' /write
  check 'Parameter error = "/erase"' /srom 1 /dump /erase
  check 'Parameter error = "d.eui"' /srom 1 /write a b c d.eui
  check 'Parameter error = "0-0-8"' /srom 1 /erase /address 0-0-8
  check 'Parameter error = "abc"' /srom abc
  check 'Parameter error = "0x2000"' /srominfo 0x1000 0x2000 1
  check 'Unknown Serial ROM Type = "010"' /srom 010
  check 'Command action not found!' /address 1-0-0
  check 'Parameter error = "/noerase"' /srom 1 /noerase /erase
  check 'Parameter error = "/srom ?"' /srom '?' /erase
  check 'Please specify "/srom" option.' /write a.mem
  check 'Parameter error = "/fout"' /fout x.bin /srom 1 /erase
  check 'Parameter error = "/address"' /address 1-0-0 /srom 1 /writeall a.mem
  long=$(printf 'p%.0s' $(seq 260))
  check "Parameter too long = \"$long\"" /srom 1 /dump "$long"
  check 'Parameter error = "/bogus"' /bogus /log
  expect_no_file log.txt
}

test_non_ascii_arguments_print_as_given() {
  vxsrom /srom 1 /dump "dümp-файл.bin" /Ünknown
  expect_status -4
  expect_out <<'O'
Parameter error = "/Ünknown"
O
}

test_undecodable_argument_is_refused() {
  is_windows && skip "Windows hands the program its arguments as wide text"
  vxsrom /srom 1 /dump "$(printf 'rom\377.bin')"
  expect_status -4
  expect_out < /dev/null
  expect_err_has "argument 4 is not valid text"
}

test_renamed_program_stops_before_anything() {
  local other
  other=$(copy_program bin other)
  for args in '/?' '' '/bogus' '/srom 1 /erase /log'; do
    run "$other" $args
    expect_status -3
    expect_out <<'O'
Application name and version are mismatch!
O
  done
  expect_no_file log.txt
}

test_name_compared_without_case_or_extension() {
  local upper
  upper=$(copy_program bin VXSROM)
  run "$upper" '/?'
  expect_status 0
  sed 's/^\t>vxsrom/\t>VXSROM/; s/^vxsrom /VXSROM /' "$E2E_EXPECTED/help-normal.txt" > want.txt
  cmp out.txt want.txt || fail "help of VXSROM differs"
}

test_program_without_recorded_name() {
  local copy file
  copy=$(copy_program bin vxsrom)
  file=${copy##* }
  if is_windows; then
    x86_64-w64-mingw32-objcopy --remove-section .rsrc "$file"
  else
    objcopy --remove-section .note.vxsrom.identity "$file"
  fi
  run "$copy" '/?'
  expect_status -1
  expect_out <<'O'
Get Original Application name error!
O
}

test_library_missing() {
  local alone
  alone=$(copy_program bin vxsrom)
  run "$alone" /log
  expect_status -1
  expect_out <<'O'
vxctl Library Initilize Error! (-1)
O
  expect_err_has "vxctl"
  expect_no_file log.txt
}

test_library_lacking_an_operation() {
  local copy
  copy=$(copy_program bin vxsrom)
  copy_library "$VXSROM_BUILD_DIR/incomplete" bin
  run "$copy"
  expect_status -1
  expect_out <<'O'
vxctl Library Initilize Error! (-1)
O
  expect_err_has "PollSromRead"
}

# cmake --install lays the program out as the packages do, under its own
# name, and the stand-in only in the simulator's folder, beside that
# package's own copy of the program.
test_installed_program_passes_its_identity_check() {
  cmake --install "$VXSROM_BUILD_DIR" --prefix inst --component program > /dev/null
  cmake --install "$VXSROM_BUILD_DIR" --prefix inst --component simulator > /dev/null
  # Both copies keep their name; only the simulator's finds a library.
  local program sandbox f
  if is_windows; then
    program=$(echo inst/vxsrom-[0-9]*) sandbox=$(echo inst/vxsrom-simulator-[0-9]*)
    for f in "$program"/{guide.html,README.html,LICENSE.txt,CHANGELOG.md,CONTROLLER-LIBRARY.txt,examples/line.bat} \
             "$sandbox"/{vxctl.dll,vxsim.exe,examples/fw-rev4.mem}; do
      [ -f "$f" ] || fail "not installed: $f"
    done
    program="$(program_runner) $program/vxsrom.exe" sandbox="$(program_runner) $sandbox/vxsrom.exe"
  else
    for f in share/doc/vxsrom/{guide.md,README.md,copyright,CHANGELOG.md,examples/line.sh} \
             share/doc/vxsrom-simulator/{copyright,examples/fw-rev4.mem} \
             lib/vxsrom-simulator/libvxctl.so bin/vxsim bin/vxrom-sim; do
      [ -f "inst/$f" ] || fail "not installed: $f"
    done
    program=inst/bin/vxsrom sandbox=inst/bin/vxsrom-sim
  fi
  if find inst -iname '*vxctl*' | grep -v 'vxsrom-simulator' | grep . > /dev/null; then
    fail "a controller library outside the simulator's folder"
  fi
  run "$program" '/?'
  expect_status 0
  cmp out.txt "$E2E_EXPECTED/help-normal.txt" || fail "help of the installed program differs"
  run "$sandbox"
  expect_status 0
  expect_out_has "Bus:0x04 Device:0x00 Function:0x00"
}
