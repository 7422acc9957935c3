#!/usr/bin/env bash
# Start-up cost of the program: `vxsrom /?` against a minimal C program
# that prints the same text (median of many runs each, as a ratio), the
# peak memory of `vxsrom /?`, and beside them the size of the program's
# code, which is what start-up pays for (iostreams and their locales,
# linked in by a single std::cin, cost 800 KB and a tenth of the time).
#
#   bench/help_startup.sh [build-dir] [runs]
set -euo pipefail
build=${1:-build}
runs=${2:-300}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The baseline: the same bytes from a static string with one write.
python3 - "$here/../tests/e2e/expected/help-normal.txt" > "$work/baseline.c" <<'PY'
import sys
text = open(sys.argv[1], 'rb').read()
body = ''.join('\\x%02x' % b for b in text)
print('#include <stdio.h>\nint main(void){static const char t[]="%s";'
      'fwrite(t,1,sizeof t-1,stdout);return 0;}' % body)
PY
cc -O2 -o "$work/baseline" "$work/baseline.c"

python3 - "$build/vxsrom" "$work/baseline" "$runs" <<'PY'
import statistics, subprocess, sys, time
program, baseline, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
def once(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, stdout=subprocess.DEVNULL, check=True)
    return time.perf_counter() - start
# Alternate the two so that both see the same load on the machine.
samples = [(once([program, '/?']), once([baseline])) for _ in range(runs)]
ours = statistics.median(s[0] for s in samples)
base = statistics.median(s[1] for s in samples)
print(f'vxsrom /?  median {ours*1000:.3f} ms')
print(f'baseline   median {base*1000:.3f} ms')
print(f'ratio      {ours/base:.2f} (goal: at most 1.25)')
PY
peak=$(/usr/bin/time -f %M "$build/vxsrom" '/?' 2>&1 >/dev/null | tail -n 1)
echo "peak memory of vxsrom /?: ${peak} KiB (goal: under 5 MiB)"
"$here/code_size.sh" "$build/vxsrom"
