#!/usr/bin/env bash
# The code size of a program (the text of `size`), and whether iostreams
# are linked into it: vxsrom reads and writes through the C library only.
#
#   bench/code_size.sh PROGRAM
set -euo pipefail
text=$(size "$1" | awk 'NR == 2 {print $1}')
echo "code (text)      $((text / 1024)) KiB ($text bytes) in $(basename "$1")"
# grep -c reads it all: grep -q would end nm early, a failure under pipefail.
found=$(nm -C "$1" 2>/dev/null | grep -c 'std::basic_istream\|std::locale::' || true)
if [ "$found" -gt 0 ]; then
  echo "iostreams        LINKED ($found symbols of std::basic_istream or std::locale)"
else
  echo "iostreams        not linked"
fi
