#!/usr/bin/env bash
# The .msi files installed, upgraded and removed under wine, in a wine
# prefix of their own (the builds' tests keep theirs):
#   .ci/msi-wine.sh VERSION PACKAGE_DIR BUMPED_DIR
# PACKAGE_DIR holds the installers of VERSION, BUMPED_DIR those of a later
# version made from the same build.
set -euo pipefail
version=$1 packages=$2 bumped=$3
fail() { echo "msi: $*" >&2; exit 1; }

export WINEDEBUG=-all
WINEPREFIX=$(mktemp -d)
export WINEPREFIX
trap 'wineserver -k > /dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
wineboot -i > /dev/null 2>&1 || true

program="$WINEPREFIX/drive_c/Program Files/vxsrom"
simulator="$WINEPREFIX/drive_c/Program Files/vxsrom-simulator"
msiexec() { wine msiexec "$@" /qn > /dev/null 2>&1; }
# The products that the system lists as installed, "name version" each.
installed() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2> /dev/null |
    tr -d '\r' | awk '$1 == "DisplayName" {name = substr($0, index($0, $3))}
                      $1 == "DisplayVersion" {print name " " $3}' | { grep '^vxsrom' || true; } | sort
}

for name in vxsrom vxsrom-simulator; do
  msiexec /i "$packages/$name-$version-x64.msi" || fail "$name: install failed"
done
[ -f "$program/vxsrom.exe" ] || fail "no vxsrom.exe in $program"
[ -f "$simulator/vxctl.dll" ] || fail "no vxctl.dll in $simulator"
# The program's folder never gets a controller library.
if find "$program" -iname 'vxctl*' | grep . > /dev/null; then
  fail "a controller library in the program's folder"
fi
# On the PATH, for a command prompt started afterwards.
help=$(wine cmd /c 'vxsrom.exe /?' 2> /dev/null | tr -d '\r')
echo "$help" | grep -x 'Serial ROM Utility for VX5130 & VX5130A' > /dev/null ||
  fail "vxsrom.exe /? by name from cmd: '$help'"
# The simulator's copy finds the stand-in beside itself.
listing=$(wine "C:\\Program Files\\vxsrom-simulator\\vxsrom.exe" 2> /dev/null | tr -d '\r')
echo "$listing" | grep -x 'Bus:0x04 Device:0x00 Function:0x00' > /dev/null ||
  fail "the simulator's vxsrom.exe listed: '$listing'"
# The simulator's launcher on the PATH runs the sandbox's copy (which
# finds the stand-in and its demo machine, there being no 09-00-0), with
# the words as given and its negative exit code, -6, passed through.
set +e
launched=$(wine cmd /c 'vxsrom-sim /srom 2 /address 09-00-0 /erase' 2> /dev/null | tr -d '\r')
code=$?
set -e
[ "$code" -eq 250 ] || fail "vxsrom-sim: exit code $code, expected 250 (-6): '$launched'"
[ "$launched" = "Specified device by \"/address\" option isn't VX5130 or VX5130A!" ] ||
  fail "vxsrom-sim printed: '$launched'"
# The installed files carry the project version.
for file in "$program/vxsrom.exe" "$program/vxrom.exe" "$simulator/vxctl.dll"; do
  got=$(strings -el "$file" | grep -A1 -x FileVersion | sed -n 2p)
  [ "$got" = "$version.0" ] || fail "$file: FileVersion is '$got'"
done
# Start menu entries, wherever this prefix keeps them.
for link in "vxsrom/Operator's guide.lnk" "vxsrom simulator/vxsrom simulator command prompt.lnk"; do
  find "$WINEPREFIX/drive_c" -path "*/Start Menu/Programs/$link" | grep . > /dev/null ||
    fail "no Start menu entry $link"
done
[ "$(installed)" = "$(printf 'vxsrom %s\nvxsrom simulator %s' "$version" "$version")" ] ||
  fail "installed: $(installed)"

# The same version again changes nothing; a later one replaces it.
msiexec /i "$packages/vxsrom-$version-x64.msi" || fail "second install failed"
next=$(ls "$bumped"/vxsrom-[0-9]*-x64.msi)
next_version=$(basename "$next" | sed 's/^vxsrom-\(.*\)-x64.msi$/\1/')
msiexec /i "$next" || fail "upgrade to $next_version failed"
[ "$(installed)" = "$(printf 'vxsrom %s\nvxsrom simulator %s' "$next_version" "$version")" ] ||
  fail "after the upgrade: $(installed)"
[ -f "$program/vxsrom.exe" ] || fail "the upgrade left no vxsrom.exe"

# Removed, they leave nothing behind, not even on the PATH.
msiexec /x "$next" || fail "removing vxsrom failed"
msiexec /x "$packages/vxsrom-simulator-$version-x64.msi" || fail "removing the simulator failed"
for dir in "$program" "$simulator"; do
  [ ! -e "$dir" ] || fail "left behind: $(find "$dir")"
done
[ -z "$(installed)" ] || fail "still installed: $(installed)"
path=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH | tr -d '\r')
if echo "$path" | grep -i 'vxsrom' > /dev/null; then fail "PATH keeps $path"; fi
echo "msi: installed, on the PATH, upgraded to $next_version and removed under wine"
