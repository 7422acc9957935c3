#!/usr/bin/env bash
# End-to-end suite: whole command lines against the real program and the
# stand-in library.  Each case runs in a fresh directory with a clean
# environment and asserts standard output, exit status and files exactly.
#
#   VXSROM='build/vxsrom' VXSIM='build/vxsim' tests/e2e/run.sh [cases/x.sh ...]
#   VXSROM='wine build-windows/vxsrom.exe' ... runs the same cases on Windows.
#
# A case is a shell function named test_* in a file under cases/.
set -u
here=$(cd "$(dirname "$0")" && pwd)
: "${VXSROM:?set VXSROM to the command that runs the program}"
: "${VXSIM:=}"
export E2E_EXAMPLES="$here/../../examples"
. "$here/lib.sh"
set +e  # the runner goes on past a failing case; each case runs with -e

files=()
for f in "$@"; do files+=("$(cd "$(dirname "$f")" && pwd)/$(basename "$f")"); done
[ ${#files[@]} -gt 0 ] || files=("$here"/cases/*.sh)
export E2E_EXPECTED="$here/expected"

# Cases get a HOME of their own; wine keeps the prefix it had.
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine}"

# Under wine, keep one wine server for all the cases: starting it anew for
# each command costs a second.
case "$VXSROM" in *.exe*) wineserver -p60 > /dev/null 2>&1 || true ;; esac

root=$(mktemp -d "${TMPDIR:-/tmp}/vxsrom-e2e.XXXXXX")
passed=0
failed=0
for file in "${files[@]}"; do
  unset -f $(declare -F | awk '$3 ~ /^test_/ {print $3}') 2>/dev/null
  . "$file"
  for t in $(declare -F | awk '$3 ~ /^test_/ {print $3}'); do
    dir="$root/$(basename "$file" .sh)/$t"
    mkdir -p "$dir"
    # Not inside an "if": there errexit would be off, and a case would
    # pass whenever its last command did.
    ( cd "$dir" || exit 1; e2e_clean_env; set -e; "$t" ) > "$dir.log" 2>&1
    if [ $? -eq 0 ]; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
      echo "FAILED: $(basename "$file") $t"
      sed 's/^/    /' "$dir.log"
    fi
  done
done
echo "$passed passed, $failed failed"
if [ "$failed" -eq 0 ] && [ -z "${E2E_KEEP:-}" ]; then rm -rf "$root"; fi
[ "$failed" -eq 0 ]
