# /erase and the shared start-and-poll loop: progress lines, completion,
# start and poll failures, and the controller closed on every path.
. "$(dirname "${BASH_SOURCE[0]}")/rom_common.inc"

one_programmed() {
  machine <<M
speed 0
trace trace.txt
${1:-}
controller 04:00.0 revision 4 part ${2:-MX25L4005A} rom rom.bin
${3:-}
M
  samples
  vxsim program machine.txt 04:00.0 fw4.mem cfg.ini
  : > trace.txt
}

test_erase_completing_on_first_poll() {
  one_programmed
  vxsrom /srom 2 /erase
  expect_status 0
  expect_outf "$TARGET4$ERASED"
  expect_calls PollSromProgress 1
  expect_calls CloseDevice 1
  expect_rom 04:00.0 <<'R'
  blank
R
}

test_completion_value_2_counts_as_done() {
  one_programmed "" MX25L4005A "fault PollSromProgress 2"
  vxsrom /srom 2 /erase
  expect_status 0
  # The faulted poll reports no progress: 0%, then the fixed 100% line.
  expect_outf "${TARGET4}Erase Serial ROM....  0%%\rErase Serial ROM....    0%% \rErase Serial ROM....  100%%\nErase complete\n"
  expect_calls PollSromProgress 1
  expect_calls CloseDevice 1
}

test_erase_start_failure_is_minus_5_whatever_the_status() {
  one_programmed "" MX25L4005A "fault StartSromErase -16"
  vxsrom /srom 2 /erase
  expect_status -5
  expect_outf "${TARGET4}Serial ROM erase error (-16)\n"
  expect_calls PollSromProgress 0
  expect_calls CloseDevice 1
}

test_erase_poll_failure() {
  one_programmed "" MX25L4005A "poll-fault erase -22 at 50%"
  vxsrom /srom 2 /erase
  expect_status -5
  expect_outf "${TARGET4}Erase Serial ROM....  0%%\nSerial ROM erase error (-22)\n"
  expect_calls CloseDevice 1
  # The half erased held the whole image: nothing of it is left.
  expect_rom 04:00.0 <<<'  blank'
}

test_open_failure_still_closes_the_selected_controller() {
  one_programmed "" MX25L4005A "fault OpenDevice -14"
  vxsrom /srom 2 /erase
  expect_status -1
  expect_outf "${TARGET4}Can't open device! (-14)\n"
  expect_calls StartSromErase 0
  expect_calls CloseDevice 1
}

test_auto_detected_64k_rom_erased_against_32k() {
  one_programmed "" M25P05
  vxsrom /srom 0 /erase
  expect_status 0
  expect_outf "$TARGET4$ERASED"
  grep -q '^GetSromInfo(04:00.0) = 0 {0x10000, 0x100, 0xC7E0}' trace.txt || fail "no 64 KiB ROM"
  expect_calls CloseDevice 1
}

test_unsupported_rom_in_auto_mode() {
  one_programmed "" UNSUPPORTED
  vxsrom /srom 0 /erase
  expect_status -17
  expect_outf "${TARGET4}Unsupported Serial ROM!\n"
  expect_calls StartSromErase 0
  expect_calls CloseDevice 1
}

test_no_controller() {
  machine <<'M'
speed 0
trace trace.txt
M
  vxsrom /srom 1 /erase
  expect_status -6
  expect_out <<'O'
Device not found!
O
  expect_calls OpenDevice 0
  expect_calls CloseDevice 0
}

test_progress_shows_live_in_a_pipe() {
  # The erase takes 50 s here: the start line and a progress line come
  # through a real pipe while it still runs.
  one_programmed "speed 100" W25X40BV
  sed -i 's/^speed 0$//' machine.txt
  mkfifo pipe
  $VXSROM /srom 3 /erase > pipe &
  pid=$!
  exec 3< pipe
  first=
  until [[ $first == *"Erase Serial ROM....  0%" ]]; do
    IFS= read -r -d $'\r' -u 3 first  # line ends on Windows hold \r too
  done
  IFS= read -r -d $'\r' -u 3 second
  kill -0 "$pid" || fail "the erase ended before its progress arrived"
  kill -KILL "$pid"
  exec 3<&-
  wait "$pid" || true
  [[ $second =~ ^Erase\ Serial\ ROM\.\.\.\.\ +[0-9]+%\ $ ]] || fail "second: $second"
}
