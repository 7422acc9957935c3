# Released jobs, the chained history, the pool's watermark and log, and
# numbers retired from the pool.  Each case body runs once per database.
. "$(dirname "${BASH_SOURCE[0]}")/rom_common.inc"
. "$(dirname "${BASH_SOURCE[0]}")/../postgres.inc"
. "$(dirname "${BASH_SOURCE[0]}")/line_common.inc"

# sql STATEMENT: runs it on the store behind vxrom's back.
sql() {
  case $DB in
    sqlite:*) python3 -c 'import sqlite3, sys; c = sqlite3.connect(sys.argv[1]); c.execute(sys.argv[2]); c.commit()' "${DB#sqlite:}" "$1" ;;
    *) pg_sql vxrom "$1" ;;
  esac
}

# out_mentions TEXT: stdout mentions TEXT somewhere in a line.
out_mentions() {
  grep -qF -- "$1" out.txt || { cat out.txt >&2; fail "stdout lacks: $1"; }
}

# A station programs what was released, and only that.
case_jobs() {
  samples
  line_machine m.txt 2
  vxrom pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-00-00-0F --db "$DB"
  vxrom job release usb3 fw4.mem cfg.ini --note 'first build' --db "$DB"
  expect_status 0
  out_mentions 'released usb3@1: fw4.mem (sha256 '
  vxsim make-mem fw4b.mem --revision 4 --version 2.0.2.7-1.B
  cp m-rom1.bin before.bin
  vxrom provision --job usb3 fw4b.mem --db "$DB"
  expect_status -7
  expect_err_has '"fw4b.mem" is not the firmware of job usb3@1: its sha256 is '
  cmp -s m-rom1.bin before.bin || fail "a refused job touched a ROM"
  vxrom provision --job usb3 fw4.mem --address 04:00.0 --serial 04:00.0=J1 --db "$DB"
  expect_status 0
  vxrom job release usb3 fw4b.mem cfg.ini --db "$DB"
  expect_status 0
  vxrom job retire usb3@2 --db "$DB"
  expect_status 0
  vxrom provision --job usb3 --address 05:00.0 --serial 05:00.0=J2 --db "$DB"
  expect_status 0
  vxrom history --json --db "$DB"
  json_check 'assert [(r["serial"], r["job"], r["firmware_version"]) for r in doc] == [("J1", "usb3@1", "2.0.2.6-1.B"), ("J2", "usb3@1", "2.0.2.6-1.B")], doc'
  vxrom job list --json --db "$DB"
  json_check 'assert [(j["job"], j["retired"], j["chip_revision"]) for j in doc] == [("usb3@1", False, 4), ("usb3@2", True, 4)], doc'
  vxrom provision --job usb3@2 --db "$DB"
  expect_status -7
  expect_err_has 'job usb3@2 is retired'
}

# The chain holds through every kind of entry, and names the first one
# changed, removed or inserted behind vxrom's back (each undone after).
case_chain() {
  samples
  line_machine m.txt 2
  vxrom pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-00-00-0F --db "$DB"
  vxrom job release usb3 fw4.mem --db "$DB"
  vxrom provision --job usb3 --serial 04:00.0=C1 --serial 05:00.0=C2 --db "$DB"
  expect_status 0
  vxrom pool retire 02-00-00-00-00-00-00-0E 02-00-00-00-00-00-00-0F --db "$DB"
  vxrom history verify --db "$DB"
  expect_status 0
  out_mentions 'intact: 5 entries, head '
  local change what undo
  while IFS='|' read -r change what undo; do
    sql "$change"
    vxrom history verify --db "$DB"
    expect_status -27
    out_mentions "$what"
    sql "$undo"
  done <<'T'
UPDATE vxrom_history SET serial = 'X' WHERE serial = 'C1'|(serial X, EUI-64 02-00-00-00-00-00-00-0|UPDATE vxrom_history SET serial = 'C1' WHERE serial = 'X'
UPDATE vxrom_job SET note = 'other'|job usb3@1 was changed|UPDATE vxrom_job SET note = NULL
INSERT INTO vxrom_history (started, finished, station, host, address, result, duration_s, version) VALUES ('t', 't', 's', 'h', '09:00.0', 0, 1, 'v')|was inserted: it has no place in the chain|DELETE FROM vxrom_history WHERE seq IS NULL
DELETE FROM vxrom_log WHERE action = 'pool add'|broken at entry 1: the entry at this place was removed|SELECT 1
T
}

# The watermark warns, on stderr only; retired numbers are never used
# again; the pool's log says who changed what.
case_watermark_and_retire() {
  samples
  line_machine m.txt 2
  vxrom pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-00-00-07 --db "$DB"
  vxrom pool low-water 5 --db "$DB"
  expect_status 0
  vxrom provision fw4.mem --db "$DB"
  expect_status 0
  ! grep -q 'below its low water' err.txt || fail "warned above the mark"
  vxrom pool retire 02-00-00-00-00-00-00-00 02-00-00-00-00-00-00-03 --db "$DB"
  expect_status -25
  expect_err_has '02-00-00-00-00-00-00-00 is programmed: only free numbers are retired; nothing retired'
  vxrom pool retire 02-00-00-00-00-00-00-06 02-00-00-00-00-00-00-07 --db "$DB"
  expect_status 0
  vxrom pool status --json --db "$DB"
  expect_out <<< '{"free":4,"reserved":0,"programmed":2,"spoiled":0,"next":"02-00-00-00-00-00-00-02","journal_waiting":0,"low_water":5}'
  expect_err_has 'the pool has 4 free EUI-64s, below its low water of 5'
  vxrom pool status --low-water 3 --db "$DB"
  expect_status 0
  ! grep -q 'below its low water' err.txt || fail "warned above --low-water"
  vxrom pool add 02-00-00-00-00-00-00-07 02-00-00-00-00-00-00-09 --db "$DB"
  expect_status -25
  expect_err_has 'overlaps the numbers retired from the pool'
  vxrom pool log --json --db "$DB"
  json_check 'assert [(c["action"], c["subject"]) for c in doc] == [("pool add", "02-00-00-00-00-00-00-00 to 02-00-00-00-00-00-00-07"), ("low-water", "5"), ("pool retire", "02-00-00-00-00-00-00-06 to 02-00-00-00-00-00-00-07")] and all("@" in c["who"] for c in doc), doc'
}

for backend in sqlite postgres; do
  for body in jobs chain watermark_and_retire; do
    eval "test_${body}_$backend() { database $backend; case_$body; }"
  done
done
