#!/usr/bin/env bash
# vxrom provision on 1, 8 and 32 simulated controllers at real-time
# speed, one worker process per board, each board settled in the
# station's journal and delivered to the store on a thread of its own:
# 8 and 32 boards must take at most 1.10 times one board's wall time.
# Also the peak memory (maximum resident set) of the 8-board run's parent
# and of one worker.  Run by hand; prints figures.
#
#   bench/provision.sh [build-dir] [counts...]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
shift || true
counts=("${@:-1 8 32}")
read -r -a counts <<< "${counts[*]}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export XDG_STATE_HOME=$work/state VXROM_JOURNAL=$work/journal.db
"$build/vxsim" make-mem fw.mem --revision 4
"$build/vxsim" make-ini cfg.ini
export VXROM_DB="sqlite:$work/line.db"
"$build/vxrom" pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-FF-FF-FF > /dev/null
declare -A took
for n in "${counts[@]}"; do
  mkdir "m$n"
  "$build/vxsim" create "m$n/m.txt" --speed 1
  for i in $(seq 1 "$n"); do
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
mkdir eui
VXCTL_SIM_MACHINE="m1/m.txt" /usr/bin/time -f '%M' -o worker-rss.txt \
  "$build/vxrom" provision-board --firmware fw.mem --config cfg.ini --address 04:00.0 \
  --eui 02-00-00-00-01-00-00-00 --eui-folder "$work/eui" --run bench --station bench \
  --chip-revision 4 --journal "$work/journal.db" --store-id bench --store bench > /dev/null ||
  echo 0 > worker-rss.txt
args=()
for n in "${counts[@]}"; do args+=("$n" "${took[$n]}"); done
python3 - "$(cat "m${counts[-1]}/rss.txt")" "$(cat worker-rss.txt)" "${args[@]}" <<'PY'
import sys
parent, worker = int(sys.argv[1]), int(sys.argv[2])
pairs = sys.argv[3:]
t = {int(pairs[i]): float(pairs[i + 1]) for i in range(0, len(pairs), 2)}
one = t[min(t)]
for n, s in t.items():
    print(f"{n} board(s)  {s:.3f} s   {s / one:.3f} x one")
worst = max(s / one for s in t.values())
print("within 1.10x" if worst <= 1.10 else "NOT WITHIN 1.10x")
print(f"peak memory, {max(t)} boards: parent {parent} KiB; one worker {worker} KiB")
PY
