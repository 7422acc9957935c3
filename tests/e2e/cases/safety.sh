# A run that changes a ROM finishes it whatever happens to its terminal or
# its pipe; output paths behave as writing the file would; the library is
# loaded only from where an administrator put it.
. "$(dirname "${BASH_SOURCE[0]}")/rom_common.inc"

# line SPEED N [PAUSE]: N controllers 02:00.0, 03:00.0, ... at that
# speed; with PAUSE (erase, write or read) the first one's operation of
# that kind waits for the file "go", so a test acts while it runs.
line() {
  machine < <(echo "speed $1"
    for i in $(seq 2 $(($2 + 1))); do
      echo "controller 0$i:00.0 revision 4 part MX25L4005A rom rom$i.bin"
      [ -n "${3:-}" ] && [ "$i" -eq 2 ] && echo "pause $3 until go"
    done)
  rm -f go
  samples
}

WRITTEN_ROM='  firmware revision 4, version 2.0.2.6-1.B, 4096 bytes of code
  subsystem vendor ID 0x1106, subsystem ID 0x3483
  laid out for page size 0x100, device code 0x60E0
  checksums correct'

test_closed_pipe_does_not_stop_a_write() {
  is_windows && skip "SIGPIPE is a POSIX signal"
  line 2 1
  mkfifo pipe
  $VXSROM /srom 2 /write fw4.mem cfg.ini /log l.log > pipe &
  pid=$!
  # The reader goes away once the erase has started: every line after
  # that meets a closed pipe.
  exec 3< pipe
  chunk=
  until [[ $chunk == *"Erase Serial ROM....  0%" ]]; do
    IFS= read -r -d $'\r' -u 3 chunk
  done
  kill -0 "$pid" || fail "the write ended before the pipe was closed"
  exec 3<&-
  wait "$pid" || fail "exit status $?"
  expect_rom 02:00.0 <<< "$WRITTEN_ROM"
  grep -q '^\[02:00:00\]\[Return = 0\]' l.log || fail "no log record"
}

test_stop_requests_wait_for_the_rom() {
  is_windows && skip "no POSIX signals under wine"
  for signal in TERM INT HUP; do
    line 0 1 erase
    start /srom 2 /write fw4.mem cfg.ini /log l.log
    await_out 'Erase Serial ROM'
    kill -$signal "$pid"
    : > go
    finish
    expect_status 0
    expect_out_has 'Verify complete'
    expect_err_has 'vxsrom: stop requested: the ROM is finished first (erase, write and verify), then the program stops'
    [ "$(grep -c . err.txt)" -eq 1 ] || fail "more than one stderr line"
    expect_rom 02:00.0 <<< "$WRITTEN_ROM"
    grep -q '^\[02:00:00\]\[Return = 0\]' l.log || fail "no log record"
    rm -f rom2.bin l.log
  done
}

test_stop_request_ends_writeall_after_the_controller_in_progress() {
  is_windows && skip "no POSIX signals under wine"
  line 0 3 write
  start /srom 2 /writeall fw4.mem cfg.ini /log l.log
  await_out 'Write Serial ROM'
  kill -INT "$pid"
  : > go
  finish
  expect_status -1
  expect_err_has 'vxsrom: stop requested: 02-00-0 is finished first (erase, write and verify); 2 controllers are left untouched'
  expect_rom 02:00.0 <<< "$WRITTEN_ROM"
  expect_rom 03:00.0 <<< '  blank'
  expect_rom 04:00.0 <<< '  blank'
  expect_file l.log <<< "[02:00:00][Return = -1]$VXSROM /srom 2 /writeall fw4.mem cfg.ini /log l.log"
}

test_stop_request_ends_a_dump_at_once_without_a_file() {
  is_windows && skip "no POSIX signals under wine"
  line 0 1 read
  vxsim program machine.txt 02:00.0 fw4.mem cfg.ini
  mkdir out
  start /srom 2 /dump out/d.bin
  await_out 'Read Serial ROM'
  kill -TERM "$pid"
  finish
  expect_status $((143 - 256))
  [ -z "$(ls -A out)" ] || fail "left in out/: $(ls -A out)"
}

# Output paths: compared with the image written to a plain new file.
test_output_paths_behave_as_writing_the_file() {
  line 0 1
  vxsrom /imagegen ref.bin fw4.mem cfg.ini
  expect_status 0
  long=$(printf 'n%.0s' $(seq 251)).bin
  vxsrom /imagegen "$long" fw4.mem cfg.ini
  expect_out <<< 'Image generate complete'
  cmp ref.bin "$long"
  if is_windows; then
    vxsrom /imagegen NUL fw4.mem cfg.ini
    expect_status 0
    expect_out <<< 'Image generate complete'
  else
    echo old > target.bin
    ln -s target.bin link.bin
    echo old > private.bin
    chmod 600 private.bin
    ln private.bin other-name.bin
    mkfifo fifo
    cat fifo > from-fifo.bin &
    for path in link.bin private.bin fifo; do
      vxsrom /imagegen $path fw4.mem cfg.ini
      expect_status 0
      expect_out <<< 'Image generate complete'
    done
    wait
    [ -L link.bin ] && [ -p fifo ] || fail "a link or the FIFO was replaced"
    [ "$(stat -c '%a %h' private.bin)" = "600 2" ] || fail "mode or link lost"
    for f in target.bin private.bin other-name.bin from-fifo.bin; do
      cmp ref.bin $f
    done
    if [ "$(id -u)" -eq 0 ]; then
      mknod null c 1 3
      vxsrom /imagegen null fw4.mem cfg.ini
      expect_status 0
      [ -c null ] || fail "the device node was replaced"
    fi
  fi
  [ -z "$(ls -A | grep -i vxsrom)" ] || fail "temporary file left"
}

test_library_is_not_loaded_from_the_current_directory() {
  is_windows || skip "the library search of Windows"
  line 0 1
  exe=$(copy_program prog vxsrom)
  cp "$VXSROM_BUILD_DIR/vxctl.dll" .
  run "$exe" /srom 2
  expect_status -1
  expect_out <<< 'vxctl Library Initilize Error! (-1)'
  expect_err_has 'cannot load vxctl.dll: '
  expect_err_has 'prog\vxctl.dll: '
}
