# Helpers for the end-to-end cases.  Each helper fails the case (non-zero
# return under set -e) with a message that shows what differed.
set -e

# Every case starts from the same environment, whatever the caller had.
e2e_clean_env() {
  unset VXCTL_SIM_MACHINE LANGUAGE LC_ALL LC_CTYPE LC_MESSAGES
  export LANG=C.UTF-8
  export HOME="$PWD/home" XDG_STATE_HOME="$PWD/home/state"
  mkdir -p "$HOME"
  # Wine keeps one %LOCALAPPDATA% for every case: a journal of the case's own.
  if is_windows; then export VXROM_JOURNAL="$PWD/home/state/vxrom/journal.db"; fi
  set -e
}

# True when the program under test is the Windows build.
is_windows() { case "$VXSROM" in *.exe*) return 0;; esac; return 1; }

# machine: writes the simulated machine description from stdin to
# machine.txt and selects it.
machine() {
  cat > machine.txt
  export VXCTL_SIM_MACHINE=machine.txt
}

# vxsrom ARGS...: runs the program; stdout in out.txt (Windows line ends
# made Unix), stderr in err.txt, exit status in $status (0-255).  Every
# failure must say why on stderr, whatever the case asserts besides.
vxsrom() {
  run "$VXSROM" "$@"
  if is_windows && [ "$status" -ne 0 ] && [ ! -s out.raw ] && [ ! -s err.txt ]; then
    wine_failed "$VXSROM" "$status"
    run "$VXSROM" "$@"
  fi
  [ "$status" -eq 0 ] || [ -s err.txt ] || fail "exit status $status without a reason on stderr"
}

# vxrom ARGS...: runs vxrom as vxsrom runs vxsrom.
vxrom() { VXSROM=$VXROM vxsrom "$@"; }

# Our programs never end in failure without a word; under wine one that
# did so was not started (seen, rarely, on a loaded machine), and the
# helpers start it once more.  wine_failed CMD STATUS notes it in the
# case's log, which run.sh shows even when the case passes.
wine_failed() { echo "wine: \"$1\" ended with status $2 and no word: started again" >&2; }

# vxsim ARGS...: runs the simulator's tool; fails the case when it fails.
vxsim() {
  is_windows || { $VXSIM "$@"; return; }
  local s=0 out=$HOME/.vxsim.out err=$HOME/.vxsim.err
  $VXSIM "$@" > "$out" 2> "$err" || s=$?
  if [ $s -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
    wine_failed "$VXSIM $1" $s
    s=0
    $VXSIM "$@" > "$out" 2> "$err" || s=$?
  fi
  cat "$out"
  cat "$err" >&2
  return $s
}

fail() { echo "$*" >&2; return 1; }

# skip REASON: ends the case as skipped, never passed: it cannot run here.
skip() { echo "skipped: $*"; exit 77; }

# expect_status N: the exit status, N signed (-4 means 252).
expect_status() {
  local want=$(( ($1 + 256) % 256 ))
  [ "$status" -eq "$want" ] || fail "exit status $status, expected $want ($1)"
}

# expect_out: stdout equals stdin exactly.
expect_out() {
  cat > expected.txt
  cmp -s out.txt expected.txt || { diff -u expected.txt out.txt >&2 || true; fail "stdout differs"; }
}

# expect_outf FORMAT ARGS...: stdout equals printf FORMAT ARGS (for text
# with carriage returns or without a final line feed).
expect_outf() {
  printf "$@" > expected.txt
  cmp -s out.txt expected.txt || { diff -u expected.txt out.txt | cat -A >&2 || true; fail "stdout differs"; }
}

# expect_out_has TEXT: stdout holds TEXT as a whole line.
expect_out_has() {
  grep -qxF -- "$1" out.txt || { cat out.txt >&2; fail "stdout lacks: $1"; }
}

# expect_err_has TEXT: stderr mentions TEXT.
expect_err_has() {
  grep -qF -- "$1" err.txt || { cat err.txt >&2; fail "stderr lacks: $1"; }
}

# expect_file PATH: PATH holds stdin exactly (Windows line ends made Unix).
expect_file() {
  [ -f "$1" ] || fail "no file $1"
  cat > expected.txt
  sed 's/\r$//' "$1" > actual.txt
  cmp -s actual.txt expected.txt || { diff -u expected.txt actual.txt >&2 || true; fail "$1 differs"; }
}

# expect_no_file PATH
expect_no_file() {
  [ ! -e "$1" ] || fail "$1 exists"
}

# expect_size PATH BYTES
expect_size() {
  [ -f "$1" ] || fail "no file $1"
  local n; n=$(wc -c < "$1")
  [ "$n" -eq "$2" ] || fail "$1 has $n bytes, expected $2"
}

# The program's file, and the command (wine or nothing) that runs it.
program_file() { echo "${VXSROM##* }"; }
program_runner() { case "$VXSROM" in *" "*) echo "${VXSROM% *}";; esac; }

# copy_program DIR NAME: copies the program into DIR under NAME (with .exe
# on Windows) and prints the command that runs the copy.
copy_program() {
  local file ext=""
  file=$(program_file)
  is_windows && ext=.exe
  mkdir -p "$1"
  cp "$file" "$1/$2$ext"
  echo "$(program_runner) $1/$2$ext" | sed 's/^ //'
}

# copy_library FROM DIR: puts the controller library found in FROM beside
# a copied program in DIR.
copy_library() {
  if is_windows; then cp "$1/vxctl.dll" "$2/"; else cp "$1/libvxctl.so" "$2/"; fi
}

# run CMD ARGS...: like vxsrom, for another command that runs the program.
run() {
  local cmd=$1; shift
  set +e
  $cmd "$@" > out.raw 2> err.txt
  status=$?
  set -e
  if is_windows; then sed 's/\r$//' out.raw > out.txt; else cp out.raw out.txt; fi
}

# hold PATH: another process opens PATH as the run log does and keeps it
# until release PATH.
hold() {
  local runner file=$VXSROM_BUILD_DIR/hold_file
  runner=$(program_runner)
  is_windows && file=$file.exe
  $runner "$file" "$1" &
  for _ in $(seq 300); do [ -e "$1.held" ] && return 0; sleep 0.1; done
  fail "could not hold $1"
}
release() { : > "$1.release"; wait; }

# examples: copies the sample input files into the case's directory (a
# relative path reads the same on both platforms; an absolute Unix path is
# an option word to the Windows build).
examples() { cp "$E2E_EXAMPLES"/*.mem "$E2E_EXAMPLES"/*.ini "$E2E_EXAMPLES"/*.eui .; }

# start ARGS...: runs the program in the background, stdout in out.raw,
# stderr in err.txt, its pid in $pid; SIGINT reaches it as from a
# terminal (a background job would otherwise ignore it).  finish waits
# for it and sets $status and out.txt as vxsrom does.
start() {
  # The redirections below happen in the background job: a previous run's
  # output, removed here, could otherwise satisfy await_out at once.
  rm -f out.raw err.txt
  env --default-signal=INT $VXSROM "$@" > out.raw 2> err.txt &
  pid=$!
}
finish() {
  set +e
  wait "$pid"
  status=$?
  set -e
  if is_windows; then sed 's/\r$//' out.raw > out.txt; else cp out.raw out.txt; fi
}

# await_out TEXT: waits until the program started by start has printed
# TEXT (its own word that it got there); fails if it ends first.
await_out() {
  until grep -qF -- "$1" out.raw 2> /dev/null; do
    kill -0 "$pid" 2> /dev/null || fail "ended before printing: $1"
    sleep 0.02
  done
}

# hold_controller MACHINE BB:DD.F: another process opens the controller
# and keeps it open until release_controller; returns once it holds it.
hold_controller() {
  rm -f held.txt release.flag
  $VXSIM hold "$1" "$2" --until release.flag > held.txt 2>&1 &
  holder=$!
  until grep -q holding held.txt 2> /dev/null; do
    kill -0 "$holder" 2> /dev/null || { cat held.txt >&2; fail "holder ended"; }
    sleep 0.02
  done
}
release_controller() { : > release.flag; wait "$holder"; }
