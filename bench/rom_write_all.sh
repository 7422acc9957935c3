#!/usr/bin/env bash
# `/srom 2 /writeall` on 1, 2, 4 and 8 simulated controllers at real-time
# speed: the time must grow linearly (8 controllers at most 8.2 times one).
# Run by hand; prints figures.
#
#   bench/rom_write_all.sh [build-dir]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$build/vxsim" make-mem fw.mem --revision 4
"$build/vxsim" make-ini cfg.ini
declare -A took
for n in 1 2 4 8; do
  mkdir "m$n"
  "$build/vxsim" create "m$n/m.txt" --speed 1
  for i in $(seq 1 $n); do
    "$build/vxsim" add "m$n/m.txt" "$(printf '%02X:00.0' $((i + 3)))" --revision 4 --part MX25L4005A
  done
  start=$(date +%s.%N)
  VXCTL_SIM_MACHINE="m$n/m.txt" "$build/vxsrom" /srom 2 /writeall fw.mem cfg.ini > "m$n/out.txt"
  end=$(date +%s.%N)
  [ "$(grep -c 'Verify complete' "m$n/out.txt")" -eq "$n" ] || { cat "m$n/out.txt"; exit 1; }
  took[$n]=$(python3 -c "print($end - $start)")
done
python3 - "${took[1]}" "${took[2]}" "${took[4]}" "${took[8]}" <<'PY'
import sys
t = dict(zip((1, 2, 4, 8), map(float, sys.argv[1:])))
for n, s in t.items():
    print(f"{n} controller(s)  {s:.4f} s   {s / t[1]:.3f} x one   {s / n:.4f} s each")
print("linear" if t[8] <= 8.2 * t[1] else "NOT LINEAR")
PY
