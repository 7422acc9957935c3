# The library bracket around the action, and the run log: one record per
# run, written after the library stopped, with the final exit code.

one_controller() {
  machine <<'M'
speed 0
controller 04:00.0 revision 4 part MX25L4005A rom rom.bin
M
}

# log_line FILE N: the N-th line of a log with the program's path (as the
# platform delivered it) replaced by "PROG".
log_line() {
  sed -n "${2}p" "$1" | sed 's/\r$//; s/\]\([^] ]*[\\/]\)\{0,1\}vxsrom\(\.exe\)\{0,1\}\( \|$\)/]PROG\3/'
}

expect_log_line() {
  local got; got=$(log_line "$1" "$2")
  [ "$got" = "$3" ] || fail "log line $2: '$got', expected '$3'"
}

expect_log_lines() {
  local n; n=$(wc -l < "$1")
  [ "$n" -eq "$2" ] || { cat "$1" >&2; fail "$1 has $n lines, expected $2"; }
}

test_no_arguments_lists_controllers() {
  one_controller
  vxsrom
  expect_status 0
  { printf 'Bus:0x04 Device:0x00 Function:0x00\nThis Device is VX5130A(Revision 4).\n\n'
    cat "$E2E_EXPECTED/help-short.txt"; } > want.txt
  cmp out.txt want.txt || { diff want.txt out.txt; fail "listing differs"; }
}

test_library_start_failure_touches_no_log() {
  machine <<'M'
fault InitializeLibrary -12
M
  vxsrom /log
  expect_status -1
  expect_out <<'O'
vxctl Library Initilize Error! (-12)
O
  expect_no_file log.txt
}

test_library_stop_failure_after_success_is_recorded() {
  machine <<'M'
speed 0
fault TerminateLibrary -31
controller 04:00.0 revision 4 part MX25L4005A rom rom.bin
M
  vxsrom /log
  expect_status -1
  tail -n 1 out.txt > last.txt
  [ "$(cat last.txt)" = "vxctl Library Terminate Error! (-31)" ] || fail "no terminate message last"
  expect_log_lines log.txt 1
  expect_log_line log.txt 1 "[--:--:--][Return = -1]PROG /log"
}

test_library_stop_failure_keeps_the_action_code() {
  machine <<'M'
fault TerminateLibrary -2
M
  vxsrom /log runs.log
  expect_status -6
  expect_out <<'O'
Device not found!
vxctl Library Terminate Error! (-2)
O
  expect_log_line runs.log 1 "[--:--:--][Return = -6]PROG /log runs.log"
}

test_two_runs_append_two_lines() {
  one_controller
  vxsrom /log
  expect_status 0
  vxsrom /srom 1 /log
  expect_status 0
  expect_log_lines log.txt 2
  expect_log_line log.txt 1 "[--:--:--][Return = 0]PROG /log"
  expect_log_line log.txt 2 "[--:--:--][Return = 0]PROG /srom 1 /log"
}

test_log_in_missing_directory_does_not_stop_the_action() {
  machine <<'M'
speed 0
M
  vxsrom /log nodir/log.txt
  expect_status -6
  expect_out <<'O'
Log file open error: nodir/log.txt(a+) (2)
Device not found!
O
  expect_no_file nodir
}

test_log_held_by_another_process() {
  one_controller
  hold held.log
  vxsrom /log held.log
  release held.log
  expect_status 0
  head -n 1 out.txt > first.txt
  [ "$(cat first.txt)" = "Log file open error: held.log(a+) (13)" ] || { cat out.txt; fail "no open error"; }
  expect_out_has "Bus:0x04 Device:0x00 Function:0x00"
  [ ! -s held.log ] || fail "held.log was written"
}

test_line_breaks_in_arguments_stay_on_one_line() {
  machine <<'M'
speed 0
M
  vxsrom /srom 1 /dump "$(printf 'a\n[04:00:00][Return = 0]b\r')" /log
  expect_status -6
  expect_log_lines log.txt 1
  expect_log_line log.txt 1 '[--:--:--][Return = -6]PROG /srom 1 /dump a\n[04:00:00][Return = 0]b\r /log'
}

test_non_ascii_log_name_and_arguments() {
  machine <<'M'
speed 0
M
  vxsrom /log "журнал.txt"
  expect_status -6
  if is_windows; then
    # Windows writes the log in the system code page, which lacks these.
    expect_log_line "журнал.txt" 1 "[--:--:--][Return = -6]PROG /log ??????.txt"
  else
    expect_log_line "журнал.txt" 1 "[--:--:--][Return = -6]PROG /log журнал.txt"
  fi
}

# The record names the controller that the action went on to open, also
# when that failed, and --:--:-- when none was chosen.
test_record_names_the_controller_opened() {
  machine <<'M'
speed 0
controller 04:00.0 revision 4 part MX25L4005A rom a.bin
controller 1F:1F.7 revision 3 part MX25L4005A rom b.bin
fault OpenDevice -14
controller 05:00.0 revision 2 part MX25L4005A rom c.bin
M
  vxsrom /srom 2 /erase /address 4-0-0 /log
  expect_status 0
  vxsrom /srom 2 /erase /address 1f-1f-7 /log
  expect_status -1
  vxsrom /srom 2 /erase /log
  expect_status -6
  vxsrom /srom 2 /erase /address 5-0-0 /log
  expect_status -16
  vxsrom /srom 2 /log
  expect_status -1
  examples
  vxsrom /imagegen out.bin fw-rev4.mem config.ini /log
  expect_status 0
  vxsrom /srom 2 /write fw-rev3.mem /address 4-0-0 /log
  expect_status -16
  expect_log_lines log.txt 7
  expect_log_line log.txt 1 "[04:00:00][Return = 0]PROG /srom 2 /erase /address 4-0-0 /log"
  expect_log_line log.txt 2 "[1F:1F:07][Return = -1]PROG /srom 2 /erase /address 1f-1f-7 /log"
  expect_log_line log.txt 3 "[--:--:--][Return = -6]PROG /srom 2 /erase /log"
  expect_log_line log.txt 4 "[--:--:--][Return = -16]PROG /srom 2 /erase /address 5-0-0 /log"
  expect_log_line log.txt 5 "[--:--:--][Return = -1]PROG /srom 2 /log"
  sed -n 6p log.txt | grep -q '^\[--:--:--\]\[Return = 0\]' || fail "imagegen record"
  sed -n 7p log.txt | grep -q '^\[--:--:--\]\[Return = -16\]' || fail "mismatch record"
}

test_record_of_write_to_all_names_the_last_controller() {
  machine <<'M'
speed 0
controller 04:00.0 revision 4 part MX25L4005A rom a.bin
controller 06:00.0 revision 4 part MX25L4005A rom b.bin
controller 07:00.0 revision 3 part MX25L4005A rom c.bin
M
  examples
  vxsrom /srom 2 /writeall fw-rev4.mem config.ini /log
  expect_status 0
  sed -n 1p log.txt | grep -q '^\[06:00:00\]\[Return = 0\]' || { cat log.txt; fail "writeall record"; }
}
