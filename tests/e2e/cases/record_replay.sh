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
