#!/usr/bin/env bash
# SQLite for the Windows build, obtained the same way on any machine: the
# npm package sqlite3@6.0.1 carries SQLite's own, unpatched amalgamation
# tarball (3.52.0).  Both the package and the tarball inside it are
# checked against pinned SHA-256 values before anything is unpacked.
# Prints the folder that holds sqlite3.c and sqlite3.h.
#
#   .ci/sqlite-amalgamation.sh [CACHE-FOLDER]
# (default: $XDG_CACHE_HOME/vxsrom or ~/.cache/vxsrom)
set -euo pipefail

package=sqlite3@6.0.1
package_file=sqlite3-6.0.1.tgz
package_sha256=ab8d044a93e05bd031d7ea75547c7fa60387cdc259d27f93c0e3e2832c4b1df9
inner=package/deps/sqlite-autoconf-3520000.tar.gz
inner_sha256=f6b50b0c103392af32a8be15b2b9d25959de9a00a70c3979128aafeaa5338b3f
folder=sqlite-autoconf-3520000

cache=${1:-${XDG_CACHE_HOME:-$HOME/.cache}/vxsrom}
out="$cache/$folder"
if [ -f "$out/sqlite3.c" ] && [ -f "$out/sqlite3.h" ]; then
  echo "$out"
  exit 0
fi
mkdir -p "$cache"
work=$(mktemp -d "$cache/fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT

check() {
  local got
  got=$(sha256sum "$1" | awk '{print $1}')
  [ "$got" = "$2" ] || { echo "sqlite-amalgamation: $1: SHA-256 $got, expected $2" >&2; exit 1; }
}

(cd "$work" && npm pack --silent "$package" > /dev/null)
check "$work/$package_file" "$package_sha256"
tar -xzf "$work/$package_file" -C "$work" "$inner"
check "$work/$inner" "$inner_sha256"
tar -xzf "$work/$inner" -C "$work" "$folder/sqlite3.c" "$folder/sqlite3.h"
rm -rf "$out"
mv "$work/$folder" "$out"
echo "$out"
