#!/usr/bin/env bash
# End-to-end suite: whole command lines against the real program and the
# stand-in library.  Each case runs in a fresh directory with a clean
# environment and asserts standard output, exit status and files exactly.
#
#   VXSROM='build/vxsrom' VXSIM='build/vxsim' tests/e2e/run.sh [cases/x.sh ...]
#   VXSROM='wine build-windows/vxsrom.exe' ... runs the same cases on Windows.
#   tests/e2e/run.sh cases/target.sh test_the_only_controller runs one case.
#
# A case is a shell function named test_* in a file under cases/; one
# that cannot run here calls skip REASON and is counted as skipped.
set -u
here=$(cd "$(dirname "$0")" && pwd)
: "${VXSROM:?set VXSROM to the command that runs the program}"
: "${VXSIM:=}"
export E2E_EXAMPLES="$here/../../examples"
export E2E_LIB="$here/lib.sh"

# Arguments: case files, and names of cases to run alone (test_...).
files=()
only=()
for f in "$@"; do
  case $f in
    test_*) only+=("$f") ;;
    *) files+=("$(cd "$(dirname "$f")" && pwd)/$(basename "$f")") ;;
  esac
done
[ ${#files[@]} -gt 0 ] || files=("$here"/cases/*.sh)
export E2E_EXPECTED="$here/expected"
# A case that hangs fails after this many seconds, not at ctest's limit.
limit=${E2E_CASE_TIMEOUT:-120}

# Cases get a HOME of their own; wine keeps the prefix it had.
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine}"

# Under wine, keep one wine server for all the cases: starting it anew for
# each command costs a second.  A server started here gets its session's
# programs at once, on no pipe (tests/support/wine-server.sh says why).
case "$VXSROM" in
  *.exe*) if wineserver -p60 > /dev/null 2>&1; then wine cmd /c exit > /dev/null 2>&1 || true; fi ;;
esac

root=$(mktemp -d "${TMPDIR:-/tmp}/vxsrom-e2e.XXXXXX")
passed=0
failed=0
skipped=0
for file in "${files[@]}"; do
  cases=$(bash -c '. "$1" > /dev/null 2>&1; declare -F' _ "$file" | awk '$3 ~ /^test_/ {print $3}')
  for t in $cases; do
    if [ ${#only[@]} -gt 0 ] && [[ " ${only[*]} " != *" $t "* ]]; then continue; fi
    dir="$root/$(basename "$file" .sh)/$t"
    mkdir -p "$dir"
    # Each case in a shell of its own, with errexit in force throughout
    # (inside an "if" it would be off, and a case would pass whenever its
    # last command did), and a time limit.
    (cd "$dir" && exec timeout -k 5 "$limit" bash -c \
      '. "$1"; . "$2"; e2e_clean_env; set -e; "$3"' _ "$here/lib.sh" "$file" "$t") \
      > "$dir.log" 2>&1
    code=$?
    if [ $code -eq 0 ]; then
      passed=$((passed + 1))
      grep '^wine: ' "$dir.log" || true
    elif [ $code -eq 77 ]; then
      skipped=$((skipped + 1))
      echo "SKIPPED: $(basename "$file") $t ($(sed -n 's/^skipped: //p' "$dir.log" | tail -n 1))"
    else
      failed=$((failed + 1))
      echo "FAILED: $(basename "$file") $t"
      [ $code -eq 124 ] && echo "    timed out after $limit s"
      sed 's/^/    /' "$dir.log"
    fi
  done
done
echo "$passed passed, $failed failed, $skipped skipped"
if [ "$failed" -eq 0 ] && [ -z "${E2E_KEEP:-}" ]; then rm -rf "$root"; fi
[ "$failed" -eq 0 ] || exit 1
# A file whose every case was skipped is skipped as a whole (ctest's
# SKIP_RETURN_CODE); one that ran some cases names the skipped above.
[ "$passed" -eq 0 ] && [ "$skipped" -gt 0 ] && exit 77
exit 0
