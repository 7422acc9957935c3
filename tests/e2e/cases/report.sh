# vxrom report: its figures equal a count made from history by other
# means, in its JSON and in the page as a browser builds it; odd data
# (markup in a serial and a reason, a station's name in other letters, a
# record delivered late) shows as text; windows that select nothing, and
# mistakes, are answered.  The figures' cases run once per database.
. "$(dirname "${BASH_SOURCE[0]}")/rom_common.inc"
. "$(dirname "${BASH_SOURCE[0]}")/../postgres.inc"
. "$(dirname "${BASH_SOURCE[0]}")/line_common.inc"

STATION2='Prüfplatz-2 ü'
ODD_SERIAL='<script>alert(1)</script>'

# A line's day: three boards at bench-1, the second failing its verify;
# that board passing its second attempt at another station, from the
# released job fw; then a
# record of the day before, delivered late (as a station's journal
# delivers what it kept while the database was away), with markup and
# quotes in it.
line_day() {
  samples
  line_machine m.txt 3
  printf 'stuck 0x200 0x00\n' > stuck.txt
  sed -i '/rom2.bin/r stuck.txt' m.txt
  vxrom pool add 02-00-00-00-00-00-00-00 02-00-00-00-00-00-00-63 --db "$DB"
  vxrom provision fw4.mem cfg.ini --station bench-1 --serial 04:00.0=S1 --serial 05:00.0=S2 --serial 06:00.0=S3 --db "$DB"
  expect_status -20
  vxsim fault m.txt 05:00.0 clear
  vxrom job release fw fw4.mem cfg.ini --db "$DB"
  expect_status 0
  vxrom provision --job fw --station "$STATION2" --serial 05:00.0=s2 --db "$DB"
  expect_status 0
  local day
  day=$(python3 -c 'import datetime; print((datetime.datetime.now(datetime.timezone.utc) - datetime.timedelta(days=1)).strftime("%Y-%m-%dT%H:%M:%SZ"))')
  store_sql "INSERT INTO vxrom_history (started, finished, station, host, serial, address, result, reason, duration_s, version, run_id, entry_id) VALUES ('$day', '$day', 'bench-1', 'pc', '$ODD_SERIAL', '07:00.0', -5, 'erase failed: \"quoted\" & <b>bold</b> at 0x0042', 1.5, '1', 'late', 'late-1')"
  vxrom history --json --db "$DB"
  expect_status 0
  cp out.txt history.json
}

# The figures of history.json counted here, as the report should have
# them: a board is its serial without case (or the attempt itself), it
# counts at its first attempt's station.  Prints a JSON object.
count_history() {
  python3 -c 'import json
records = json.load(open("history.json"))
boards = {}
for i, r in enumerate(records):
    boards.setdefault(r["serial"].lower() if r["serial"] is not None else i, []).append(r)
def figures(station=None):
    own = [b for b in boards.values() if station in (None, b[0]["station"])]
    return {"boards": len(own), "first_pass": sum(b[0]["result"] == 0 for b in own),
            "final_pass": sum(b[-1]["result"] == 0 for b in own),
            "attempts": sum(station in (None, r["station"]) for r in records),
            "passed": sum(station in (None, r["station"]) and r["result"] == 0 for r in records)}
total = figures()
total["reworked"] = sum(len(b) > 1 for b in boards.values())
total["second_pass"] = sum(len(b) > 1 and b[0]["result"] != 0 and b[1]["result"] == 0 for b in boards.values())
total["stations"] = {s: figures(s) for s in sorted({r["station"] for r in records})}
print(json.dumps(total))'
}

# The report's JSON and page against the count, the pool against pool
# status, and the odd data escaped.
case_figures() {
  line_day
  count_history > counted.json
  vxrom pool status --json --db "$DB"
  cp out.txt pool.json
  vxrom report --json --db "$DB"
  expect_status 0
  json_check 'want = json.load(open("counted.json"))
for k in ("boards", "first_pass", "final_pass", "attempts", "passed", "reworked", "second_pass"):
    assert doc[k] == want[k], (k, doc[k], want[k])
assert want["boards"] == 4 and want["second_pass"] == 1, want
by = {s["station"]: s for s in doc["stations"]}
assert sorted(by) == sorted(want["stations"]), (sorted(by), want["stations"])
for name, w in want["stations"].items():
    assert {k: by[name][k] for k in w} == w, (name, by[name], w)
pool = json.load(open("pool.json"))
assert [doc["pool"][k] for k in ("free", "reserved", "programmed", "spoiled")] == [pool[k] for k in ("free", "reserved", "programmed", "spoiled")], doc["pool"]
assert doc["pool"]["used"] == 4 and doc["pool"]["days_left"] is not None, doc["pool"]
f = doc["failures"]
assert f["total"] == 2 and [b["result"] for b in f["pareto"]] == [-8, -5], f
assert "#: verify mismatch: # of # bytes differ" in [b for b in f["pareto"] if b["result"] == -8][0]["reason"], f
assert [r["serial"] for r in f["latest"]] == ["S2", "'"$ODD_SERIAL"'"], f["latest"]'
  # A job by its name takes its every version.
  vxrom report --json --job fw --db "$DB"
  json_check 'assert doc["boards"] == doc["final_pass"] == doc["attempts"] == 1, doc'
  vxrom report -o report.html --db "$DB"
  expect_status 0
  [ ! -s out.txt ] || fail "the page went to standard output too"
  ! grep -qiE 'https?:|<script[ >]|src=' report.html || fail "the page refers outside itself or runs a script"
  grep -qF '&lt;script&gt;alert(1)&lt;/script&gt;' report.html || fail "the serial is not escaped"
  grep -qF 'erase failed: &quot;quoted&quot; &amp; &lt;b&gt;bold&lt;/b&gt;' report.html || fail "the reason is not escaped"
  grep -qF "$STATION2" report.html || fail "the station's name is not as given"
}

# The page as headless Chromium builds it, with no network: its figures
# (data- attributes) equal the count; a screenshot is made.
case_in_browser() {
  is_windows && skip "Chromium runs beside the Linux build only"
  local chromium=${CHROMIUM:-/usr/bin/chromium}
  [ -x "$chromium" ] || skip "no Chromium ($chromium)"
  line_day
  count_history > counted.json
  vxrom report -o report.html --db "$DB"
  expect_status 0
  local browse=("$chromium" --headless --no-sandbox --disable-gpu --proxy-server=127.0.0.1:9
                --no-first-run --user-data-dir="$PWD/chromium" --window-size=1000,1400)
  timeout 60 "${browse[@]}" --dump-dom "file://$PWD/report.html" > dom.html 2> chromium.log ||
    { tail chromium.log >&2; fail "Chromium did not load the page"; }
  timeout 60 "${browse[@]}" --screenshot="$PWD/report.png" "file://$PWD/report.html" > /dev/null 2>> chromium.log ||
    { tail chromium.log >&2; fail "Chromium made no screenshot"; }
  [ "$(head -c 4 report.png | tail -c 3)" = PNG ] || fail "the screenshot is no PNG"
  python3 -c 'import html.parser, json
want = json.load(open("counted.json"))
found, stations = {}, {}
class Page(html.parser.HTMLParser):
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if a.get("id") in ("boards", "first-pass", "final-pass", "attempts", "reworked", "second-pass", "first-pass-yield", "final-yield"):
            found[a["id"]] = a["data-value"]
        if tag == "tr" and "data-station" in a and "data-boards" in a:
            stations[a["data-station"]] = {k: int(a["data-" + k.replace("_", "-")]) for k in ("boards", "first_pass", "final_pass", "attempts", "passed")}
Page().feed(open("dom.html").read())
for k in ("boards", "first_pass", "final_pass", "reworked", "second_pass"):
    assert int(found[k.replace("_", "-")]) == want[k], (k, found, want)
assert abs(float(found["first-pass-yield"]) - want["first_pass"] / want["boards"]) < 1e-6, found
assert abs(float(found["final-yield"]) - want["final_pass"] / want["boards"]) < 1e-6, found
assert stations == want["stations"], (stations, want["stations"])
assert "&lt;script&gt;alert(1)&lt;/script&gt;" in open("dom.html").read()' ||
    fail "the page's figures differ from history's"
  ! grep -q '<script' dom.html || fail "the browser found a script element"
}

# Windows that select nothing and mistakes: words|exit status|check of
# the JSON (python, on doc) or a reason on stderr.
test_windows_and_mistakes() {
  database sqlite
  line_day
  while IFS='|' read -r words code check; do
    [ -n "$words" ] || continue
    rm -f out.txt err.txt
    eval "vxrom report --db \"\$DB\" $words"
    expect_status "$code"
    case $check in
      why:*) expect_err_has "${check#why:}" ;;
      ?*) json_check "$check" ;;
    esac
  done <<'T'
--json --since 2000-01-01 --until 2000-01-02|0|assert doc["boards"] == 0 and doc["first_pass_yield"] is None and doc["stations"] == [] and doc["failures"]["latest"] == [], doc
--json --station nowhere|0|assert doc["boards"] == 0 and doc["pool"]["free"] == 96, doc
--json --station bench-1|0|assert [s["station"] for s in doc["stations"]] == ["bench-1"] and doc["boards"] == 4 and doc["final_pass"] == 2, doc
--json --job nothing|0|assert doc["boards"] == 0, doc
--json --job fw|0|assert [s["station"] for s in doc["stations"]] == ["Prüfplatz-2 ü"] and doc["boards"] == doc["first_pass"] == 1, doc
--json --job fw@1|0|assert doc["boards"] == 1 and doc["window"]["job"] == "fw@1", doc
--json --job fw@2|0|assert doc["boards"] == 0, doc
--since today|-4|why:--since "today" is not a date or time
--station bench-1|-4|why:-o FILE names the page to write
-o no/such/folder/r.html|-12|why:cannot write the report
T
  expect_no_file no
  # The pool's watermark, once set above the free numbers, warns.
  vxrom pool low-water 200 --db "$DB"
  expect_status 0
  vxrom report --json --db "$DB"
  json_check 'assert doc["pool"]["low_water"] == 200 and doc["pool"]["below_low_water"], doc["pool"]'
  vxrom report -o low.html --db "$DB"
  grep -qF 'id="pool-warning"' low.html || fail "no warning below the watermark"
  vxrom report --since 2000-01-01 --until 2000-01-02 -o empty.html --db "$DB"
  expect_status 0
  grep -qF 'nothing in this window' empty.html || fail "the empty window's charts say nothing"
  grep -qF 'id="boards" data-value="0"' empty.html || fail "the empty window counts boards"
}

for backend in sqlite postgres; do
  for body in figures in_browser; do
    eval "test_${body}_$backend() { database $backend; case_$body; }"
  done
done
