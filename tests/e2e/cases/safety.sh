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

# Stopped before the ROM changes, a run ends at once, with the status of
# its stop request and without a file: arguments | where it is stopped.
STOPPED_EARLY='
/srom 2 /dump out/d.bin|Read Serial ROM
/srom 2 /verify fw4.mem cfg.ini|Verify Serial ROM
'

test_stop_request_before_the_rom_changes_ends_the_run_at_once() {
  # POSIX: the signal's own status.  Windows: STATUS_CONTROL_C_EXIT (the
  # shell sees its low byte), from the Ctrl-C that wine makes of SIGINT.
  if is_windows; then signal=INT code=$((0xC000013A & 0xFF)); else signal=TERM code=$((143 - 256)); fi
  line 0 1 read
  vxsim program machine.txt 02:00.0 fw4.mem cfg.ini
  mkdir out
  while IFS='|' read -r args progress; do
    [ -n "$args" ] || continue
    # shellcheck disable=SC2086
    start $args
    await_out "$progress"
    kill -$signal "$pid"
    finish
    expect_status $code || fail "case: $args"
    [ -z "$(ls -A out)" ] || fail "case $args: left in out/: $(ls -A out)"
  done <<< "$STOPPED_EARLY"
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

# A write that fails (past the file size limit, its signal ignored) leaves
# no file that the run made, and an earlier file untouched.
test_a_failed_write_leaves_the_path_as_it_was() {
  line 0 1
  vxsim program machine.txt 02:00.0 fw4.mem cfg.ini  # the ROM file exists
  echo previous > old.bin
  (
    trap '' XFSZ
    ulimit -f 16  # KiB: less than an image
    for path in new.bin old.bin; do
      vxsrom /imagegen $path fw4.mem cfg.ini
      expect_status -12
      expect_out <<< 'Image file write error'
      expect_err_has "writing \"$path\" failed: "
    done
  )
  expect_no_file new.bin
  [ "$(cat old.bin)" = previous ] || fail "the earlier file changed"
  [ -z "$(ls -A | grep -i vxsrom)" ] || fail "temporary file left"
}

# A name that the system refuses (here a line break) is an open error,
# with the error number that "wb" gives: arguments | message.
REFUSED_NAME='
/imagegen NAME fw4.mem cfg.ini|Image file open error
/srom 2 /dump NAME|Image file open error
/srom 2 /write fw4.mem cfg.ini /fout NAME|Output file open error
'

test_a_name_the_system_refuses_is_an_open_error() {
  is_windows || skip "a line break is a valid name on POSIX systems"
  line 0 1
  name=$'a\r\nb.bin'
  while IFS='|' read -r words message; do
    [ -n "$words" ] || continue
    args=()
    for word in $words; do
      if [ "$word" = NAME ]; then args+=("$name"); else args+=("$word"); fi
    done
    vxsrom "${args[@]}"
    expect_status -12 || fail "case: $words"
    # Lines end in CR LF on Windows: the name's CR LF shows as CR CR LF.
    printf '%s: a\r\nb.bin(wb) (22)\n' "$message" > expected.txt
    tail -n 2 out.txt | cmp -s - expected.txt || { cat -A out.txt >&2; fail "case $words: stdout"; }
    expect_err_has 'Invalid name'
  done <<< "$REFUSED_NAME"
  [ -z "$(ls -A | grep -ai vxsrom)" ] || fail "temporary file left"
}

# protect_sticky_directories: the kernel's protections of sticky
# directories (fs.protected_symlinks, fs.protected_regular) on for the
# case, the old values back when it ends; false when they cannot be set.
# Cases running in parallel take turns.
protect_sticky_directories() {
  [ "$(id -u)" -eq 0 ] || return 1
  exec 9> "${TMPDIR:-/tmp}/vxsrom-e2e-sticky.lock"
  flock 9
  local symlinks regular
  symlinks=$(cat /proc/sys/fs/protected_symlinks) && regular=$(cat /proc/sys/fs/protected_regular) || return 1
  # shellcheck disable=SC2064  # the old values, as they are now
  trap "sysctl -qw fs.protected_symlinks=$symlinks fs.protected_regular=$regular" EXIT
  trap 'exit 1' TERM INT
  sysctl -qw fs.protected_symlinks=1 fs.protected_regular=1 2> /dev/null
}

# Output paths planted in a sticky directory by another user: the kernel
# refuses them to root's plain open, and so to the program: arguments.
STICKY_REFUSALS='
/imagegen PATH fw4.mem cfg.ini|Image file open error
/srom 2 /dump PATH|Image file open error
/srom 2 /write fw4.mem cfg.ini /fout PATH|Output file open error
'

test_output_paths_keep_the_protections_of_sticky_directories() {
  is_windows && skip "a protection of the Linux kernel"
  protect_sticky_directories || skip "not root, or the protections cannot be set"
  line 0 1
  mkdir -m 1777 sticky
  mkdir -m 700 private
  # nobody cannot pass the case's directory: it plants through a
  # descriptor of the sticky one.
  setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups -- \
    sh -c 'ln -s "$1" /proc/self/fd/3/dangling && echo theirs > /proc/self/fd/3/theirs.bin' \
    _ "$PWD/private/made.bin" 3< sticky
  # Where the kernel lets root's plain open through, it protects nothing.
  if (: > sticky/dangling) 2> /dev/null || (: >> sticky/theirs.bin) 2> /dev/null; then
    skip "the kernel does not protect sticky directories here"
  fi
  for path in sticky/dangling sticky/theirs.bin; do
    while IFS='|' read -r words message; do
      [ -n "$words" ] || continue
      # shellcheck disable=SC2086
      vxsrom ${words/PATH/$path}
      expect_status -12 || fail "case: $words, $path"
      [ "$(tail -n 1 out.txt)" = "$message: $path(wb) (13)" ] || { cat out.txt >&2; fail "case $words, $path: stdout"; }
      expect_err_has "cannot write \"$path\": Permission denied (errno 13)"
    done <<< "$STICKY_REFUSALS"
  done
  [ -z "$(ls -A private)" ] || fail "made in the private directory: $(ls -A private)"
  [ "$(cat sticky/theirs.bin)" = theirs ] || fail "the other user's file changed"
  [ "$(ls -A sticky | sort | tr '\n' ' ')" = "dangling theirs.bin " ] || fail "left in sticky/: $(ls -A sticky)"
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
