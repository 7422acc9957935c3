# A line's library calls recorded through the recorder (the stand-in
# playing the maker's library), then replayed with no machine but the
# recording: the same stdout, exit code, output file and log record.
. "$(dirname "${BASH_SOURCE[0]}")/rom_common.inc"

# The program with the recorder in vxctl's place and the stand-in renamed
# as the maker's library beside it; and a copy with the stand-in alone.
lines() {
  rec=$(copy_program rec vxsrom)
  play=$(copy_program play vxsrom)
  copy_library "$VXSROM_BUILD_DIR" play
  if is_windows; then
    cp "$VXSROM_BUILD_DIR/recorder/vxctl.dll" rec/
    cp "$VXSROM_BUILD_DIR/vxctl.dll" rec/vxctl-maker.dll
  else
    cp "$VXSROM_BUILD_DIR/recorder/libvxctl.so" rec/
    cp "$VXSROM_BUILD_DIR/libvxctl.so" rec/libvxctl-maker.so
  fi
}

# keep NAME: what a run left, for comparing with the other run.
keep() {
  mkdir -p "$1"
  cp out.txt "$1/out"
  echo "$status" > "$1/status"
  [ ! -f d.bin ] || mv d.bin "$1/d.bin"
  # The log record, less the program's own path, which differs.
  [ ! -f l.log ] || { sed 's/\r$//; s/\]\([^] ]*[\\/]\)\{0,1\}vxsrom\(\.exe\)\{0,1\} /]PROG /' l.log > "$1/log"; rm l.log; }
}

# setup | arguments
CASES='
one|/srom 2 /write fw4.mem cfg.ini x.eui /log l.log
one|/srom 2 /dump d.bin /log l.log
pair|/srom 0
pair|/srom 2 /writeall fw4.mem cfg.ini /log l.log
stuck|/srom 2 /write fw4.mem cfg.ini /log l.log
busy|/srom 2 /erase /log l.log
'

test_replay_gives_what_the_recorded_run_gave() {
  samples
  lines
  while IFS='|' read -r name args; do
    [ -n "$name" ] || continue
    setup "$name"
    vxsim program machine.txt 04:00.0 fw4.mem cfg.ini x.eui > /dev/null
    # shellcheck disable=SC2086
    VXCTL_RECORD=rec.txt run "$rec" $args
    keep recorded
    rm -f a.bin b.bin
    machine <<< $'speed 0\nreplay rec.txt'
    # shellcheck disable=SC2086
    run "$play" $args
    keep replayed
    diff -r recorded replayed || fail "case $args: the replay differs"
    ! grep -q 'replay departs' err.txt || { cat err.txt >&2; fail "case $args: the replay departed"; }
    rm -rf recorded replayed
  done <<< "$CASES"
  # The same recording, another command line: the replay says where the
  # calls part.
  run "$play" /srom 1 /erase /log l.log
  expect_status -1
  expect_err_has 'vxctl: replay departs at call 4: expected OpenDevice(04:00.0, 2, 008000000001e060), got OpenDevice(04:00.0, 2, 008000008000e062)'
  $VXSIM replay-check rec.txt | sed 's/\r$//' > check.txt
  grep -qx 'controllers: 04:00.0' check.txt || { cat check.txt >&2; fail "replay-check"; }
  grep -qx '  call 4 OpenDevice(04:00.0, 2, 008000000001e060) = -14' check.txt || { cat check.txt >&2; fail "replay-check failures"; }
}

# damage NAME: rec.txt as damaged in that way, from the recording in good.txt.
damage() {
  local n
  n=$(grep -n ' PollSromRead ' good.txt | head -1 | cut -d: -f1)
  case $1 in
    # Cut inside the read buffer, after an even number of hex digits.
    cut) awk '/ PollSromRead / {printf "%s", substr($0, 1, 2000); exit} {print}' good.txt > rec.txt
         reason="line $n: damaged or cut short: its digest does not match" ;;
    flipped) sed 's/ = 0 32768 5658/ = 0 32768 5758/' good.txt > rec.txt
             reason="line $n: damaged or cut short: its digest does not match" ;;
    # One line of 3 MB that is no recording: quoted in a few characters.
    huge) head -c 3000000 /dev/zero | tr '\0' x > rec.txt
          reason="line 1: not a recording: it begins 'xxxxxxxxxxxxxxxxxxxxxxxx...'" ;;
    older) sed '1s/ 2$/ 1/' good.txt > rec.txt
           reason="line 1: version 1 has no digests, so damage in it cannot be found: record the run again" ;;
  esac
  ! cmp -s good.txt rec.txt || fail "$1: nothing damaged"
}

test_damaged_recordings_are_refused_before_any_call() {
  samples
  lines
  setup one
  vxsim program machine.txt 04:00.0 fw4.mem cfg.ini > /dev/null
  VXCTL_RECORD=good.txt run "$rec" /srom 2 /dump d.bin
  expect_status 0
  rm d.bin
  machine <<< $'speed 0\nreplay rec.txt'
  for how in cut flipped huge older; do
    damage "$how"
    run "$play" /srom 2 /dump d.bin
    expect_status -1
    expect_no_file d.bin
    sed 's/\r$//' err.txt > replay-err.txt
    grep -qxF "vxctl: recording rec.txt: $reason" replay-err.txt || { cat err.txt >&2; fail "$how: replay"; }
    [ "$(wc -c < err.txt)" -lt 1000 ] || fail "$how: replay says $(wc -c < err.txt) bytes"
    # replay-check reads it as the replay does: refused, for the same reason.
    if $VXSIM replay-check rec.txt > out.txt 2> err.txt; then fail "$how: replay-check passed it"; fi
    sed 's/\r$//' err.txt > check-err.txt
    grep -qxF "vxsim: rec.txt: $reason" check-err.txt || { cat err.txt >&2; fail "$how: replay-check"; }
    [ ! -s out.txt ] || fail "$how: replay-check printed a summary"
  done
}
