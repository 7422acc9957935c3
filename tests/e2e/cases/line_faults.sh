# The line's record under faults of its store, its workers and its
# processes: every board attempt ends in history exactly once, no good
# board is spoiled, no number is handed out twice.
. "$(dirname "${BASH_SOURCE[0]}")/rom_common.inc"
. "$(dirname "${BASH_SOURCE[0]}")/../postgres.inc"
. "$(dirname "${BASH_SOURCE[0]}")/line_common.inc"

# await_boards PHASE N: waits until N boards of the run started by start
# have shown PHASE (one line per phase in a pipe).
await_boards() {
  until [ "$(grep -c "  $1 " out.raw 2> /dev/null)" -ge "$2" ]; do
    kill -0 "$pid" 2> /dev/null || { cat out.raw err.txt >&2; fail "ended before $2 boards reached $1"; }
    sleep 0.02
  done
}

# expect_history_matches_roms MACHINE: every board's ROM holds the EUI-64
# that history records as programmed for its address, and history holds
# one record per board.
expect_history_matches_roms() {
  vxrom history --json --db "$DB"
  expect_status 0
  $VXSIM show "$1" | sed 's/\r$//' |
    awk '/^[0-9A-F][0-9A-F]:/ {a = $1} /EUI-64/ {print a, $2}' | sort > roms.txt
  json_check 'got = sorted("%s %s" % (r["address"], r["eui64"]) for r in doc if r["result"] == 0)
assert len(doc) == len(got), ("failed records", doc)
assert got == open("roms.txt").read().split("\n")[:-1], (got, open("roms.txt").read())'
}

# The store goes away while the boards are written and comes back after
# the run: the run ends with its own code and says where the records
# wait; the next command delivers them, each once, none spoiled.
case_store_away_during_run() {
  samples
  line_machine m.txt 3 'pause write until go.flag'
  vxrom pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-00-00-09 --db "$DB"
  local VXSROM=$VXROM
  start provision fw4.mem cfg.ini --db "$DB"
  await_boards write 3
  store_away
  : > go.flag
  finish
  expect_status -26
  expect_out_has '3 programmed, 0 failed, 0 untouched'
  expect_err_has '3 board records of this station wait in its journal'
  store_back
  vxrom journal
  expect_status 0
  [ "$(grep -c ' waiting  programmed ' out.txt)" -eq 3 ] || { cat out.txt >&2; fail "journal"; }
  expect_pool 7 0 3 0
  expect_history_matches_roms m.txt
  vxrom journal
  [ ! -s out.txt ] || { cat out.txt >&2; fail "entries left in the journal"; }
  # Records delivered late take their places in the chain as they come.
  vxrom history verify --db "$DB"
  expect_status 0
}

store_away() {
  case $DB in
    odbc:*) postgres_down ;;
    # Another program holds the file's write lock past any wait.
    sqlite:*) python3 -c 'import os, sqlite3, sys, time
c = sqlite3.connect(sys.argv[1], isolation_level=None)
c.execute("BEGIN EXCLUSIVE")
open("locked.flag", "w").close()
while not os.path.exists("unlock.flag"):
    time.sleep(0.02)' "${DB#sqlite:}" &
      locker=$!
      until [ -e locked.flag ]; do sleep 0.02; done ;;
  esac
}
store_back() {
  case $DB in
    odbc:*) postgres_up ;;
    sqlite:*) : > unlock.flag; wait "$locker" ;;
  esac
}

# A board whose write never ends is ended at its time limit; its number
# is spoiled (the erase had begun), the others are programmed.
case_hung_board() {
  samples
  line_machine m.txt 3
  sed -i '/rom2.bin/a pause write until never.flag' m.txt
  vxrom pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-00-00-09 --db "$DB"
  vxrom provision fw4.mem cfg.ini --db "$DB" --board-timeout 3
  expect_status -20
  expect_out_has '2 programmed, 1 failed, 0 untouched'
  grep -q '^05:00.0 .* FAIL: it did not finish its write within 3 s' out.txt || { cat out.txt >&2; fail "reason"; }
  expect_pool 7 0 2 1
}

# The parent is killed while its workers write: they finish and settle
# their boards in the journal; the next command delivers them.
case_parent_killed() {
  samples
  line_machine m.txt 3 'pause write until go.flag'
  vxrom pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-00-00-09 --db "$DB"
  local VXSROM=$VXROM
  start provision fw4.mem cfg.ini --db "$DB"
  await_boards write 3
  kill -KILL "$pid"
  finish
  : > go.flag
  # The workers end on their own: each settles its board first.
  local journal=home/state/vxrom/journal.db
  until [ "$(python3 -c 'import sqlite3, sys
print(sqlite3.connect(sys.argv[1]).execute("select count(*) from journal_entry").fetchone()[0])' $journal)" -ge 3 ]; do sleep 0.05; done
  expect_pool 7 0 3 0
  expect_history_matches_roms m.txt
}

# Two PCs started with one --station keep apart: neither settles the
# numbers the other holds, whatever the other is doing.
case_two_pcs_one_station() {
  is_windows && skip "a second host name needs a namespace of Linux"
  unshare --uts true 2> /dev/null || skip "no UTS namespace here (needs root)"
  samples
  printf '#!/bin/sh\nhostname "$1"; shift; exec "$@"\n' > as_host
  chmod +x as_host
  line_machine b.txt 1
  line_machine a.txt 1 'pause write until go.flag'
  vxrom pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-00-00-09 --db "$DB"
  local VXSROM="unshare --uts ./as_host pc-a $VXROM"
  start provision fw4.mem cfg.ini --station bench --db "$DB"
  await_boards write 1
  XDG_STATE_HOME=$PWD/b-state VXCTL_SIM_MACHINE=b.txt \
    run "unshare --uts ./as_host pc-b $VXROM" provision fw4.mem cfg.ini --station bench --db "$DB"
  expect_status 0
  : > go.flag
  finish
  expect_status 0
  expect_pool 8 0 2 0
}

# Scanned text that is not UTF-8 is refused before any number is taken.
case_scan_not_text() {
  samples
  line_machine m.txt 2
  vxrom pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-00-00-09 --db "$DB"
  printf 'S1\n\377\376\n' > scanned.txt
  vxrom provision fw4.mem cfg.ini --scan --json --db "$DB" < scanned.txt
  expect_status -4
  expect_err_has 'that is not text (a stray byte from the scanner?): scan this board'"'"'s label again'
  expect_err_has 'no serial for the board at 05:00.0: no board touched'
  expect_pool 10 0 0 0
}

for backend in sqlite postgres; do
  for body in store_away_during_run hung_board parent_killed two_pcs_one_station scan_not_text; do
    eval "test_${body}_$backend() { database $backend; case_$body; }"
  done
done
