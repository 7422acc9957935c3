#!/usr/bin/env bash
# `/srom 2 /write` (erase, write, verify) on a simulated machine at real-time
# speed: wall time against the simulated device time of the same job, as a
# ratio, the peak memory of the run and the program's code size.  Run by
# hand; prints figures.
#
#   bench/rom_write.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
part=MX25L4005A
"$build/vxsim" create m.txt --speed 1
"$build/vxsim" add m.txt 04:00.0 --revision 4 --part $part --rom rom.bin
"$build/vxsim" make-mem fw.mem --revision 4
"$build/vxsim" make-ini cfg.ini
export VXCTL_SIM_MACHINE=m.txt
# Device time: erase + write + read of 32 KiB for the part.
device=$("$build/vxsim" timings | awk -v p=$part '$1 == p {print $2 + $3 + $4}')
start=$(date +%s.%N)
/usr/bin/time -f %M -o rss.txt "$build/vxsrom" /srom 2 /write fw.mem cfg.ini > out.txt
end=$(date +%s.%N)
grep -q 'Verify complete' out.txt || { cat out.txt; exit 1; }
python3 - "$start" "$end" "$device" "$(cat rss.txt)" <<'PY'
import sys
start, end, device, rss = map(float, sys.argv[1:])
wall = end - start
# Each of the three operations may wait up to one poll interval past its end.
budget = device + 3 * 0.100 + 0.010
print(f"device time      {device:.4f} s (erase + write + read, simulated)")
print(f"wall time        {wall:.4f} s")
print(f"ratio            {wall / device:.3f}")
print(f"overhead         {wall - device:.4f} s (budget {budget - device:.3f} s)")
print(f"peak memory      {rss / 1024:.2f} MiB (goal: under 4.5 MiB)")
print("within budget" if wall <= budget and rss < 4.5 * 1024 else "OVER BUDGET")
PY
"$here/code_size.sh" "$build/vxsrom"
