#!/usr/bin/env bash
# Reservations per second from 4 processes at once, one EUI-64 per
# transaction, on SQLite (WAL, synchronous FULL) and on a private
# PostgreSQL server through ODBC (fsync and synchronous_commit on, its
# defaults).  The pool is one range of 2^24: ranges cost nothing to hold.
# Run by hand; prints figures.
#
#   bench/reserve_rate.sh [build-dir] [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
seconds=${2:-5}
cmake --build "$build" --target reserve_rate > /dev/null
work=$(mktemp -d /tmp/vxbench.XXXXXX)
skip() { echo "skipped: $*"; exit 0; }
fail() { echo "$*" >&2; return 1; }
. "$here/../tests/e2e/postgres.inc"
rate() {
  local url=$1 pids=() i total=0
  "$build/vxrom" pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-FF-FF-FF --db "$url" > /dev/null
  for i in 1 2 3 4; do
    "$build/reserve_rate" "$url" "$seconds" "bench$i" > "$work/count$i" &
    pids+=($!)
  done
  for i in 1 2 3 4; do
    wait "${pids[$((i - 1))]}" || fail "reserve_rate $i failed"
    total=$((total + $(cat "$work/count$i")))
  done
  echo "$((total / seconds)) reservations/s ($total in $seconds s, 4 processes)"
}
figure=$(rate "sqlite:$work/line.db") || exit 1
echo "SQLite:     $figure"
postgres_start
figure=$(rate "$PG_URL") || exit 1
echo "PostgreSQL: $figure"
postgres_stop
rm -rf "$work"
