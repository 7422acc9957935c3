#!/usr/bin/env bash
# vxrom report over a history of 10^6 records (30 days of 10 stations,
# one board in 25 failing first and passing on its rework, a few other
# failures with numbers in their reasons, a number used per attempt),
# on SQLite and on a private PostgreSQL server through ODBC: the time
# and the peak resident memory of vxrom (the server's own memory is the
# server's).  The records are made by the database itself (a recursive
# CTE, generate_series), not through vxrom.  Run by hand; prints figures.
#
#   bench/report.sh [build-dir] [records]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
records=${2:-1000000}
work=$(mktemp -d /tmp/vxbench.XXXXXX)
skip() { echo "skipped: $*"; exit 0; }
fail() { echo "$*" >&2; return 1; }
. "$here/../tests/e2e/postgres.inc"

# The columns of one record i; started is an expression of the
# record's second, seconds since 1970.  ($1: the dialect's UTC text of
# that second.)
columns="started, finished, station, host, serial, address, eui64, result, reason, duration_s, version, run_id, entry_id"
values() {
  local t=$1
  cat << SQL
$t, $t, 'station-' || (i % 10), 'pc-' || (i % 10),
'SN' || CASE WHEN i % 25 = 1 THEN i - 1 ELSE i END, '04:00.0', 'E-' || i,
CASE WHEN i % 25 = 0 THEN -8 WHEN i % 97 = 0 THEN -5 WHEN i % 131 = 0 THEN -20 ELSE 0 END,
CASE WHEN i % 25 = 0 THEN '06-00-0: verify mismatch: ' || (i % 50) || ' of 32768 bytes differ'
     WHEN i % 97 = 0 THEN 'erase failed at ' || (i % 7) || '%' WHEN i % 131 = 0 THEN 'it did not finish its write within 106 s' END,
12.5, '1.0', 'run-' || (i / 4), 'entry-' || i
SQL
}
# The numbers: one a record, programmed or spoiled, reserved when its
# record started; the pool's first range moved past them.
numbers_sql() {
  local t=$1
  cat << SQL
INSERT INTO vxrom_eui (eui_key, state, station, reserved_at)
  SELECT (-9223372036854775807 - 1) + 144115188075855872 + i,
         CASE WHEN i % 25 = 0 OR i % 97 = 0 THEN 'spoiled' ELSE 'programmed' END, 'station-' || (i % 10), $t
  FROM series;
UPDATE vxrom_range SET next_key = next_key + $records WHERE first_key = (SELECT min(first_key) FROM vxrom_range);
SQL
}

measure() {
  local url=$1 name=$2
  /usr/bin/time -v "$build/vxrom" report --db "$url" -o "$work/$name.html" 2> "$work/$name.time"
  /usr/bin/time -v "$build/vxrom" report --json --db "$url" -o "$work/$name.json" 2> "$work/$name-json.time"
  local wall rss
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/$name.time")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/$name.time")
  printf '%-11s %s records: HTML in %s, peak RSS %d MiB; JSON in %s\n' "$name:" "$records" "$wall" $((rss / 1024)) \
    "$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/$name-json.time")"
  python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); print("            boards", d["boards"], "first-pass", d["first_pass_yield"], "final", d["final_yield"], "failures", d["failures"]["total"])' "$work/$name.json"
}

db="$work/line.db"
"$build/vxrom" pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-FF-FF-FF --db "sqlite:$db" > /dev/null
t="strftime('%Y-%m-%dT%H:%M:%SZ', 1700000000 + i * 2592000 / $records, 'unixepoch')"
sqlite3 "$db" << SQL
PRAGMA journal_mode = WAL;
BEGIN;
CREATE TEMP TABLE series AS WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < $records) SELECT i FROM s;
INSERT INTO vxrom_history ($columns) SELECT $(values "$t") FROM series;
$(numbers_sql "$t")
COMMIT;
SQL
measure "sqlite:$db" SQLite

postgres_start
t="to_char(to_timestamp(1700000000 + i * 2592000 / $records) AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"')"
"$build/vxrom" pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-FF-FF-FF --db "$PG_URL" > /dev/null
"$PG_BIN/psql" -X -q -v ON_ERROR_STOP=1 -h "$PG_DIR" -p 5432 -U vxrom -d postgres << SQL
BEGIN;
CREATE TEMP TABLE series AS SELECT i::bigint AS i FROM generate_series(1, $records) AS i;
INSERT INTO vxrom_history ($columns) SELECT $(values "$t") FROM series;
$(numbers_sql "$t")
COMMIT;
ANALYZE;
SQL
measure "$PG_URL" PostgreSQL
postgres_stop
rm -rf "$work"
