# vxrom pool, provision and history against a real database: SQLite, and
# a PostgreSQL server the case starts itself (skipped without one).  Each
# case body runs once per database.
. "$(dirname "${BASH_SOURCE[0]}")/rom_common.inc"
. "$(dirname "${BASH_SOURCE[0]}")/../postgres.inc"
. "$(dirname "${BASH_SOURCE[0]}")/line_common.inc"

# The range rules, each refusal leaving the pool as it was.
# words|exit status|stderr mentions
RANGES='
02-00-00-00-00-00-00-10 02-00-00-00-00-FF-FF-FF|0|
02-00-00-00-00-00-00-10|-25|overlaps the pool
02-00-00-00-00-00-00-00 02-00-00-00-00-00-00-10|-25|overlaps the pool
02-00-00-00-00-00-00-05 02-00-00-00-00-00-00-01|-4|comes before FIRST
03-00-00-00-00-00-00-00|-4|group (I/G) bit
02-FF-FF-FF-FF-FF-FF-FF 04-00-00-00-00-00-00-00|-4|group (I/G) bit
02-00-00-00-00-00-00|-4|not an EUI-64
02:00:00:00:00:00:00:10|-25|overlaps the pool
02-00-00-00-00-00-00-0G|-4|not an EUI-64
'
case_pool_ranges() {
  local words code text
  while IFS='|' read -r words code text; do
    [ -n "$words" ] || continue
    # shellcheck disable=SC2086
    vxrom pool add $words --db "$DB"
    expect_status "$code"
    [ -z "$text" ] || expect_err_has "$text"
    expect_pool 16777200 0 0 0
  done <<< "$RANGES"
  vxrom pool status --json --db "$DB"
  expect_out <<< '{"free":16777200,"reserved":0,"programmed":0,"spoiled":0,"next":"02-00-00-00-00-00-00-10","journal_waiting":0,"low_water":null}'
  printf '02-00-00-00-00-00-00-01\n\n02-00-00-00-00-00-00-02\n02-00-00-00-00-00-00-01\n' > twice.txt
  printf '02-00-00-00-00-00-00-03\n03-00-00-00-00-00-00-04\n' > group.txt
  printf '02-00-00-00-00-00-00-0f\n02-00-00-00-00-00-00-10\n' > overlap.txt
  printf '02-00-00-00-00-00-00-02\r\n02-00-00-00-00-00-00-01\r\n 02-00-00-00-00-00-00-07 \r\n' > good.txt
  vxrom pool import twice.txt --db "$DB"; expect_status -25; expect_err_has "more than once"
  vxrom pool import group.txt --db "$DB"; expect_status -4; expect_err_has "group.txt line 2"
  vxrom pool import overlap.txt --db "$DB"; expect_status -25; expect_err_has "overlaps the pool"
  expect_pool 16777200 0 0 0
  vxrom pool import good.txt --db "$DB"
  expect_status 0
  expect_out <<< 'added 3 EUI-64s in 2 ranges: 02-00-00-00-00-00-00-01 to 02-00-00-00-00-00-00-07'
  vxrom pool status --json --db "$DB"
  expect_out <<< '{"free":16777203,"reserved":0,"programmed":0,"spoiled":0,"next":"02-00-00-00-00-00-00-01","journal_waiting":0,"low_water":null}'
}

# Four boards, one whose ROM fails verification: the others programmed,
# its number spoiled, the serials bound to the numbers in history.
case_one_board_fails() {
  samples
  line_machine m.txt 4
  echo "stuck 0x200 0x00" > stuck.txt
  sed -i '/rom3.bin/r stuck.txt' m.txt
  vxrom pool add 02-56-58-00-00-00-00-00 02-56-58-00-00-00-00-09 --db "$DB"
  vxrom provision fw4.mem cfg.ini --json --db "$DB" --serial 04:00.0=A1 --serial 06:00.0=A3
  expect_status -20
  expect_err_has '1 of 4 boards failed'
  tail -1 out.txt > summary.json
  python3 - <<'P' || { cat out.txt >&2; fail "summary"; }
import json
s = json.load(open("summary.json"))
assert s["event"] == "summary" and (s["programmed"], s["failed"], s["untouched"]) == (3, 1, 0), s
got = [(b["address"], b["serial"], b["eui64"], b["result"]) for b in s["boards"]]
assert got == [("04:00.0", "A1", "02-56-58-00-00-00-00-00", 0),
               ("05:00.0", None, "02-56-58-00-00-00-00-01", 0),
               ("06:00.0", "A3", "02-56-58-00-00-00-00-02", -8),
               ("07:00.0", None, "02-56-58-00-00-00-00-03", 0)], got
assert "differ" in s["boards"][2]["reason"] or "verif" in s["boards"][2]["reason"], s["boards"][2]
P
  expect_pool 6 0 3 1
  vxrom history --json --serial A1 --db "$DB"
  json_check 'assert [(r["address"], r["eui64"], r["result"], r["reason"]) for r in doc] == [("04:00.0", "02-56-58-00-00-00-00-00", 0, None)], doc
assert sorted(doc[0]) == sorted("started finished station host serial address chip_revision rom_type firmware_version subsystem_vendor_id subsystem_id eui64 image_sha256 result reason duration_s version job run_id eui_state".split())
assert doc[0]["firmware_version"] == "2.0.2.6-1.B" and doc[0]["subsystem_vendor_id"] == "0x1106" and len(doc[0]["image_sha256"]) == 64'
  # The board carries the number history gives it.
  $VXSIM show m.txt | sed 's/\r$//' | grep -A3 '^04:00.0' | grep -qx '  EUI-64 02-56-58-00-00-00-00-00' || fail "04:00.0 lacks its EUI-64"
  vxrom history --csv --eui 02-56-58-00-00-00-00-02 --db "$DB"
  [ "$(sed -n 1p out.txt | tr -d '\r')" = "started,finished,station,host,serial,address,chip_revision,rom_type,firmware_version,subsystem_vendor_id,subsystem_id,eui64,image_sha256,result,reason,duration_s,version,job,run_id,eui_state" ] || fail "CSV header"
  [ "$(wc -l < out.txt)" -eq 2 ] && grep -q ',A3,06:00.0,4,.*,-8,' out.txt || { cat out.txt >&2; fail "CSV record"; }
  # The fault cleared, the batch again: the good boards are read, found
  # programmed and left alone; only the failed one is programmed.
  sed -i '/stuck 0x200/d' m.txt
  for i in 1 2 4; do cp m-rom$i.bin before$i.bin; done
  vxrom provision fw4.mem cfg.ini --db "$DB" --serial 06:00.0=A3
  expect_status 0
  expect_out_has '1 programmed, 0 failed, 0 untouched, 3 skipped'
  grep -q '^04:00.0  A1 .* SKIPPED: skipped: programmed as A1, EUI 02-56-58-00-00-00-00-00' out.txt || { cat out.txt >&2; fail "skip"; }
  for i in 1 2 4; do cmp -s m-rom$i.bin before$i.bin || fail "a good board was rewritten"; done
  expect_pool 5 0 4 1
  # Refused before any erase: another board's serial, one serial twice
  # (without regard to case).
  vxrom provision fw4.mem cfg.ini --db "$DB" --rework 06:00.0 --serial 06:00.0=A1
  expect_status -24; expect_err_has 'carries the EUI-64 of serial "A3", not of "A1"'
  vxrom provision fw4.mem cfg.ini --db "$DB" --rework all --serial 04:00.0=a1 --serial 05:00.0=A1
  expect_status -4; expect_err_has '"A1" is the serial of the board at 04:00.0 already'
  cmp -s m-rom1.bin before1.bin || fail "a refused run touched a ROM"
  expect_pool 5 0 4 1
  # One board reworked keeps the number history gives its serial: none
  # taken from the pool, a second record of it programmed.
  vxrom provision fw4.mem cfg.ini --db "$DB" --rework 04:00.0 --address 04:00.0 --expect 1
  expect_status 0
  expect_out_has '1 programmed, 0 failed, 0 untouched'
  expect_pool 5 0 4 1
  vxrom history --json --eui 02-56-58-00-00-00-00-00 --db "$DB"
  json_check 'assert [(r["result"], r["serial"], r["eui_state"]) for r in doc] == [(0, "A1", "programmed")] * 2, doc'
  $VXSIM show m.txt | sed 's/\r$//' | grep -A3 '^04:00.0' | grep -qx '  EUI-64 02-56-58-00-00-00-00-00' || fail "04:00.0 lost its EUI-64"
}

# Refusals before any board is touched: the ROMs and the pool unchanged.
case_refused_before_erase() {
  samples
  line_machine m.txt 4
  for i in 1 2 3 4; do cp m-rom$i.bin before$i.bin; done
  vxrom pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-00-00-02 --db "$DB"
  vxrom provision fw4.mem cfg.ini --db "$DB"
  expect_status -21
  expect_err_has 'the pool has 3 free EUI-64s for 4 boards'
  expect_pool 3 0 0 0
  vxrom provision fw3.mem cfg.ini --db "$DB"
  expect_status -6
  : > not-a-folder
  vxrom provision fw4.mem cfg.ini --db "sqlite:not-a-folder/line.db"
  expect_status -22
  vxrom pool status --db "odbc:Driver={PostgreSQL Unicode};Servername=$PWD/nowhere;Port=5432;Database=postgres;UID=vxrom;PWD=hunter2;"
  expect_status -22
  expect_err_has 'PWD=***'
  ! grep -q hunter2 err.txt out.txt || fail "the password was shown"
  # Labels scanned in turn; the input ending before every board has one
  # touches none.
  vxrom pool add 02-00-00-00-00-00-01-00 02-00-00-00-00-00-01-09 --db "$DB"
  printf 'S1\nS2\nS3\n' > scanned.txt
  vxrom provision fw4.mem cfg.ini --scan --db "$DB" < scanned.txt
  expect_status -4
  expect_err_has 'board at 06:00.0: board at 07:00.0: '
  expect_err_has 'no serial for the board at 07:00.0: no board touched'
  for i in 1 2 3 4; do cmp -s m-rom$i.bin before$i.bin || fail "ROM $i changed"; done
  expect_pool 13 0 0 0
}

# A board another process holds open fails before its erase; the others
# are not held up, and its number goes back to the pool.
case_held_board() {
  samples
  line_machine m.txt 3
  vxrom pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-00-00-09 --db "$DB"
  hold_controller m.txt 05:00.0
  vxrom provision fw4.mem cfg.ini --db "$DB"
  release_controller
  expect_status -20
  expect_out_has '2 programmed, 1 failed, 0 untouched'
  grep -q '^05:00.0 .* FAIL: .*05-00-0' out.txt || { cat out.txt >&2; fail "05:00.0 did not fail with its reason"; }
  expect_pool 8 0 2 0
}

# Four stations on four machines at once, one database: no number twice,
# every one in history.
case_stations_share_the_pool() {
  samples
  vxrom pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-00-00-FF --db "$DB"
  local s pids=()
  for s in 1 2 3 4; do
    line_machine m$s.txt 3
    VXCTL_SIM_MACHINE=m$s.txt $VXROM provision fw4.mem cfg.ini --station st$s --db "$DB" > out$s.txt 2> err$s.txt &
    pids+=($!)
  done
  for s in 1 2 3 4; do wait "${pids[$((s - 1))]}" || { cat err$s.txt >&2; fail "station $s failed"; }; done
  expect_pool 244 0 12 0
  vxrom history --json --db "$DB"
  json_check 'euis = [r["eui64"] for r in doc]
assert len(doc) == 12 and len(set(euis)) == 12 and all(r["result"] == 0 for r in doc), doc
assert sorted({r["station"] for r in doc}) == ["st1", "st2", "st3", "st4"]'
  for s in 1 2 3 4; do $VXSIM show m$s.txt; done | sed 's/\r$//' | grep 'EUI-64' | sort | uniq -d > twice.txt
  [ ! -s twice.txt ] || fail "boards share a number: $(cat twice.txt)"
}

# provision killed at random moments: afterwards every reservation is
# resolved (the station's next run spoils the dead runs' ones) and no
# number was handed out twice.
case_killed_runs() {
  samples
  line_machine m.txt 3
  vxrom pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-00-FF-FF --db "$DB"
  local runs=20 i
  is_windows && runs=6
  for i in $(seq $runs); do
    $VXROM provision fw4.mem cfg.ini --db "$DB" --station bench > /dev/null 2>&1 &
    local p=$!
    sleep "0.$((RANDOM % 8))$((RANDOM % 10))"
    kill -9 "$p" 2> /dev/null || true
    wait "$p" 2> /dev/null || true
  done
  # Orphaned workers finish on their own; then a whole run settles the rest.
  for i in $(seq 100); do vxrom provision fw4.mem cfg.ini --db "$DB" --station bench; [ "$status" -eq 0 ] && break; done
  expect_status 0
  vxrom pool status --json --db "$DB"
  json_check 'assert doc["reserved"] == 0 and doc["programmed"] + doc["spoiled"] + doc["free"] == 65536, doc'
  vxrom history --json --db "$DB"
  $VXSIM show m.txt | sed 's/\r$//' | awk '/^[0-9A-F][0-9A-F]:/ {a = $1} /EUI-64/ {print a, $2}' > roms.txt
  json_check 'ok = [r["eui64"] for r in doc if r["result"] == 0]
assert len(ok) == len(set(ok)), "a number programmed twice"
every = [r["eui64"] for r in doc]
assert len(every) == len(set(every)), "an attempt recorded twice"
last = {r["address"]: r["eui64"] for r in doc if r["result"] == 0}
for line in open("roms.txt"):
    address, eui = line.split()
    assert last[address] == eui, (address, eui, last)
spoiled_at = {}
for n, r in enumerate(doc):
    if r["reason"] and "spoiled" in r["reason"]:
        spoiled_at[r["eui64"]] = n
for n, r in enumerate(doc):
    assert not (r["eui64"] in spoiled_at and n > spoiled_at[r["eui64"]]), ("reissued", r)'
}

# A stop request: the board in progress finishes, none starts after it,
# the numbers of the others go back to the pool.
case_stop_request() {
  is_windows && skip "no POSIX signals under wine"
  samples
  line_machine m.txt 3
  sed -i 's/^speed 0/speed 1/' m.txt
  vxrom pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-00-00-09 --db "$DB"
  local VXSROM=$VXROM
  start provision fw4.mem cfg.ini --jobs 1 --db "$DB"
  await_out 'erase'
  kill -TERM "$pid"
  finish
  expect_status -23
  expect_out_has '1 programmed, 0 failed, 2 untouched'
  expect_err_has '2 left untouched'
  expect_pool 9 0 1 0
}

# Input that would lose what it adds, or add what nobody can read back:
# refused with a reason, no database made.
# command line|exit status|stderr mentions
ODD='
pool add 02-00-00-00-00-00-00-00 --db sqlite:|-4|sqlite: names no file
pool status --db sqlite::memory:|-4|sqlite::memory:: a database in memory
history --db sqlite:file:x?mode=memory|-4|keeps nothing once the command ends
pool import long.txt --db sqlite:line.db|-4|long.txt line 3 is longer than 256 characters ("02-00-00-00-00-00-00-01X...")
pool import bad.txt --db sqlite:line.db|-4|bad.txt line 1 "not-a-number-not-a-numbe...": not an EUI-64
'
test_odd_input_refused() {
  local words code text
  printf '02-00-00-00-00-00-00-01\n\n02-00-00-00-00-00-00-01%s\n' "$(head -c 300 /dev/zero | tr '\0' X)" > long.txt
  printf 'not-a-number-not-a-number-not-a-number\n' > bad.txt
  while IFS='|' read -r words code text; do
    [ -n "$words" ] || continue
    # shellcheck disable=SC2086
    vxrom $words
    expect_status "$code"
    expect_err_has "$text"
  done <<< "$ODD"
  expect_no_file line.db
  VXROM_DB=sqlite: vxrom pool status
  expect_status -22
  expect_err_has 'VXROM_DB=sqlite: names no file'
  # A file read in pieces loses no number where one piece ends.
  awk 'BEGIN { for (i = 0; i < 5000; i++) printf "02-00-00-00-00-00-%02X-%02X\n", int(i / 128), (i % 128) * 2 }' > many.txt
  vxrom pool import many.txt --db sqlite:line.db
  expect_status 0
  expect_out <<< 'added 5000 EUI-64s in 5000 ranges: 02-00-00-00-00-00-00-00 to 02-00-00-00-00-00-27-0E'
}

# A server's least privilege: an engineer's role makes the tables and adds
# the pool; a station's role, with rows to read and write and nothing
# more, provisions and reads the pool and history.  The grants are the
# guide's.
test_roles_on_a_shared_server() {
  database postgres
  samples
  line_machine m.txt 2
  pg_sql vxrom 'CREATE ROLE engineer LOGIN; CREATE ROLE station LOGIN; GRANT CREATE ON SCHEMA public TO engineer'
  local engineer=${DB/UID=vxrom/UID=engineer} station=${DB/UID=vxrom/UID=station}
  vxrom pool status --db "$station"
  expect_status -22
  expect_err_has 'permission denied for schema public'
  expect_err_has 'as a database user that may create and alter the tables'
  vxrom pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-00-00-FF --db "$engineer"
  expect_status 0
  vxrom job release usb3 fw4.mem cfg.ini --db "$engineer"
  expect_status 0
  pg_sql engineer "$(sed -n '/^    GRANT SELECT ON vxrom_schema/,/^$/p' "$E2E_EXAMPLES/../docs/guide.md")"
  vxrom provision --job usb3 --serial 04:00.0=R1 --db "$station"
  expect_status 0
  # What only an engineer may do, the server itself refuses the station.
  local words
  while IFS='|' read -r words; do
    # shellcheck disable=SC2086
    vxrom $words --db "$station"
    expect_status -22
    expect_err_has 'permission denied'
  done <<< 'pool add 02-00-00-00-00-00-01-00
job release usb3 fw3.mem
pool retire 02-00-00-00-00-00-00-F0 02-00-00-00-00-00-00-FF'
  local sql
  for sql in "UPDATE vxrom_history SET result = 0" "DELETE FROM vxrom_history" "DELETE FROM vxrom_log"; do
    ! pg_sql station "$sql" 2> psql.txt || fail "the station's role may: $sql"
    grep -q 'permission denied' psql.txt || { cat psql.txt >&2; fail "no refusal of $sql"; }
  done
  vxrom history verify --db "$station"
  expect_status 0
  vxrom provision fw4.mem cfg.ini --rework 05:00.0 --serial 05:00.0=r1 --db "$station"
  expect_status -24
  vxrom pool status --json --db "$station"
  expect_out <<< '{"free":254,"reserved":0,"programmed":2,"spoiled":0,"next":"02-00-00-00-00-00-00-02","journal_waiting":0,"low_water":null}'
  vxrom history --json --serial R1 --db "$station"
  json_check 'assert [(r["address"], r["eui64"], r["result"]) for r in doc] == [("04:00.0", "02-00-00-00-00-00-00-00", 0)], doc'
  ! pg_sql station 'CREATE TABLE vxrom_more (x INT)' 2> psql.txt || fail "the station's role made a table"
  grep -q 'permission denied for schema public' psql.txt || { cat psql.txt >&2; fail "no refusal"; }
}

# A store of the first release on a server, made by its statements:
# brought to version 2 by the first command, altered in place, its rows
# kept and each number's display form filled in.
test_migration_from_version_1_postgres() {
  database postgres
  pg_sql vxrom "CREATE TABLE vxrom_schema (version BIGINT NOT NULL);
CREATE TABLE vxrom_range (first_key BIGINT PRIMARY KEY, last_key BIGINT NOT NULL, next_key BIGINT NOT NULL);
CREATE TABLE vxrom_eui (eui_key BIGINT PRIMARY KEY, state TEXT NOT NULL, run_id TEXT, station TEXT, host TEXT, pid BIGINT, address TEXT, serial TEXT, reserved_at TEXT);
CREATE INDEX vxrom_eui_state ON vxrom_eui (state, station);
CREATE TABLE vxrom_history (id BIGSERIAL PRIMARY KEY, started TEXT NOT NULL, finished TEXT NOT NULL, station TEXT NOT NULL, host TEXT NOT NULL, serial TEXT, address TEXT NOT NULL, chip_revision BIGINT, rom_type BIGINT, firmware_version TEXT, subsystem_vendor_id BIGINT, subsystem_id BIGINT, eui64 TEXT, image_sha256 TEXT, result BIGINT NOT NULL, reason TEXT, duration_s DOUBLE PRECISION NOT NULL, version TEXT NOT NULL, run_id TEXT);
CREATE INDEX vxrom_history_serial ON vxrom_history (serial);
INSERT INTO vxrom_schema VALUES (1);
INSERT INTO vxrom_range VALUES (-9054953243758559232, -9054953243758559217, -9054953243758559230);
INSERT INTO vxrom_eui VALUES (-9054953243758559232, 'programmed', 'r', 's', 'h', 1, '04:00.0', 'A1', 't'),
  (-9054953243758559231, 'reserved', 'r', 's', 'h', 1, '05:00.0', NULL, 't'),
  (9151314442816847871, 'spoiled', 'r', 's', 'h', 1, '06:00.0', NULL, 't')"
  vxrom pool status --json --db "$DB"
  expect_out <<< '{"free":14,"reserved":1,"programmed":1,"spoiled":1,"next":"02-56-58-00-00-00-00-02","journal_waiting":0,"low_water":null}'
  pg_sql vxrom 'SELECT eui64 FROM vxrom_eui ORDER BY eui_key' > euis.txt
  expect_file euis.txt <<< $'02-56-58-00-00-00-00-00\n02-56-58-00-00-00-00-01\nFE-FF-FF-FF-FF-FF-FF-FF'
  pg_sql vxrom 'SELECT id, version, length(store_id) FROM vxrom_schema' > schema.txt
  expect_file schema.txt <<< '1|4|32'
  ! pg_sql vxrom "UPDATE vxrom_eui SET state = 'lost'" 2> /dev/null || fail "a state outside the four was taken"
}

for backend in sqlite postgres; do
  for body in pool_ranges one_board_fails refused_before_erase held_board stations_share_the_pool killed_runs stop_request; do
    eval "test_${body}_$backend() { database $backend; case_$body; }"
  done
done
