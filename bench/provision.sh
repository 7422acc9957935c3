#!/usr/bin/env bash
# vxrom provision on 1, 2, 4 and 8 simulated controllers at real-time
# speed, one worker process per board: 8 boards must take at most 1.25
# times one board's wall time.  Also the peak memory (maximum resident
# set) of the 8-board run's parent and of one worker.  Run by hand; prints
# figures.
#
#   bench/provision.sh [build-dir]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$build/vxsim" make-mem fw.mem --revision 4
"$build/vxsim" make-ini cfg.ini
export VXROM_DB="sqlite:$work/line.db"
"$build/vxrom" pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-FF-FF-FF > /dev/null
declare -A took
for n in 1 2 4 8; do
  mkdir "m$n"
  "$build/vxsim" create "m$n/m.txt" --speed 1
  for i in $(seq 1 $n); do
    "$build/vxsim" add "m$n/m.txt" "$(printf '%02X:00.0' $((i + 3)))" --revision 4 --part MX25L4005A
  done
  start=$(date +%s.%N)
  VXCTL_SIM_MACHINE="m$n/m.txt" /usr/bin/time -f '%M' -o "m$n/rss.txt" \
    "$build/vxrom" provision fw.mem cfg.ini > "m$n/out.txt"
  end=$(date +%s.%N)
  grep -qx "$n programmed, 0 failed, 0 untouched" "m$n/out.txt" || { cat "m$n/out.txt"; exit 1; }
  took[$n]=$(python3 -c "print($end - $start)")
done
# One worker alone, as the parent starts it, for its own peak.
VXCTL_SIM_MACHINE="m1/m.txt" /usr/bin/time -f '%M' -o worker-rss.txt \
  "$build/vxrom" provision-board fw.mem cfg.ini --address 04:00.0 --eui 02-00-00-00-01-00-00-00 > /dev/null
python3 - "${took[1]}" "${took[2]}" "${took[4]}" "${took[8]}" "$(cat m8/rss.txt)" "$(cat worker-rss.txt)" <<'PY'
import sys
t = dict(zip((1, 2, 4, 8), map(float, sys.argv[1:5])))
for n, s in t.items():
    print(f"{n} board(s)  {s:.3f} s   {s / t[1]:.3f} x one")
print("within 1.25x" if t[8] <= 1.25 * t[1] else "NOT WITHIN 1.25x")
parent, worker = int(sys.argv[5]), int(sys.argv[6])
print(f"peak memory, 8 boards: parent {parent} KiB, each worker {worker} KiB, "
      f"together about {parent + 8 * worker} KiB")
PY
