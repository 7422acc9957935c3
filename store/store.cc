#include "store/store.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <map>

#include "store/jobs.h"
#include "store/ledger.h"
#include "store/rows.h"
#include "store/schema.h"

using namespace line;

namespace store {

namespace {

/// Ranges of at least this many numbers are stored as kParts rows.
const uint64_t kSplitFrom = 1u << 16;
const uint64_t kParts = 16;
/// Rows of one INSERT when many ranges are added at once, and ranges of
/// the pool read at once to compare them with.
const size_t kRowsPerInsert = 300;
const size_t kRangesPerRead = 10000;

typedef std::pair<uint64_t, uint64_t> Range;

/// Reads history records from rows of HistoryColumns.
StoreStatus RecordsFromRows(const std::vector<SqlRow>& rows, std::vector<HistoryRecord>* records,
                            std::string* reason) {
  for (const SqlRow& r : rows) {
    HistoryRecord h;
    if (!RecordFromRow(r, &h, reason)) return StoreStatus::kUnavailable;
    records->push_back(std::move(h));
  }
  return StoreStatus::kOk;
}

/// The condition on history h joined with its number e that the attempt
/// still programs its board: its number was neither superseded nor
/// spoiled since (or it had none).
const char kStillProgrammed[] = "h.result = 0 AND (h.eui64 IS NULL OR e.state = 'programmed')";

/// "?, ?, ..." for count values.
std::string Marks(size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += i ? ", ?" : "?";
  return out;
}

std::string Span(const Range& range) {
  return FormatEui64Value(range.first) + " to " + FormatEui64Value(range.second);
}

}  // namespace

namespace {

/// Takes cut out of the range row [first, last] whose next number to
/// hand out is next: what lies before the cut keeps the row, what lies
/// after it becomes a row of its own.
bool CutRange(Transaction& tx, uint64_t first, uint64_t last, uint64_t next, const Range& cut) {
  const uint64_t from = std::max(first, cut.first), to = std::min(last, cut.second);
  if (to < last &&
      !tx.Execute("INSERT INTO vxrom_range (first_key, last_key, next_key) VALUES (?, ?, ?)",
                  {Key(to + 1), Key(last), Key(std::max(next, to + 1))}))
    return false;
  if (from == first) return tx.Execute("DELETE FROM vxrom_range WHERE first_key = ?", {Key(first)});
  return tx.Execute("UPDATE vxrom_range SET last_key = ?, next_key = ? WHERE first_key = ?",
                    {Key(from - 1), Key(std::min(next, from)), Key(first)});
}

}  // namespace

bool DatabaseUrlKeeps(const std::string& url, std::string* why) {
  if (url.rfind("sqlite:", 0) != 0) return true;
  const std::string path = url.substr(7);
  if (path.empty()) {
    *why = "sqlite: names no file (SQLite would make a throwaway database, and nothing would be kept): give sqlite:PATH";
    return false;
  }
  if (path == ":memory:" || path.rfind("file:", 0) == 0) {
    *why = url + ": a database in memory, or a SQLite URI, keeps nothing once the command ends: give the path of a file";
    return false;
  }
  return true;
}

std::unique_ptr<Store> Store::Open(const std::string& url,
                                   std::string* reason) {
  std::string error;
  std::unique_ptr<Database> db;
  if (url.rfind("sqlite:", 0) == 0) {
    db = OpenSqlite(url.substr(7), &error);
  } else if (url.rfind("odbc:", 0) == 0) {
    db = OpenOdbc(url.substr(5), &error);
  } else if (url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0) {
    std::string connection;
    if (!PostgresUrlToOdbc(url, &connection, reason)) return nullptr;
    db = OpenOdbc(connection, &error);
  } else {
    *reason = "the database \"" + MaskCredentials(url) +
              "\" is neither sqlite:PATH, odbc:CONNECTION-STRING nor postgresql://...";
    return nullptr;
  }
  if (!db) {
    *reason = "cannot open the database " + MaskCredentials(url) + ": " + error;
    return nullptr;
  }
  std::unique_ptr<Store> store = Open(std::move(db), RetryPolicy(), &error);
  if (!store) *reason = "the database " + MaskCredentials(url) + ": " + error;
  return store;
}

namespace {

/// The rows of ranges: a large range is kept as a few rows of equal
/// parts, so that stations reserving at once each take a part of their
/// own.
std::vector<Range> RangeRows(const std::vector<Range>& ranges) {
  std::vector<Range> rows;
  for (const Range& r : ranges) {
    const uint64_t size = r.second - r.first;
    const uint64_t part = size >= kSplitFrom ? size / kParts + 1 : size + 1;
    for (uint64_t at = 0;; at += part) {
      rows.emplace_back(r.first + at, r.first + std::min(size, at + part - 1));
      if (size - at < part) break;
    }
  }
  return rows;
}

/// Refuses sorted ranges that overlap the pool: one pass over the pool's
/// ranges, in order, beside the new ones in order: the one that may
/// begin before them and reach into them, then those that begin among
/// them, a page at a time.
StoreStatus CheckPoolOverlap(Transaction& tx, const std::vector<Range>& ranges, std::string* why) {
  std::vector<SqlRow> stored;
  const int64_t low = Key(ranges.front().first), high = Key(ranges.back().second);
  if (!tx.Execute("SELECT max(first_key) FROM vxrom_range WHERE first_key <= ?", {low}, &stored))
    return tx.Failed();
  int64_t from = stored[0][0] ? ToInt(stored[0][0]) : low;
  size_t next = 0;
  do {
    if (!tx.Execute("SELECT first_key, last_key FROM vxrom_range WHERE first_key >= ? AND "
                    "first_key <= ? ORDER BY first_key LIMIT ?",
                    {from, high, static_cast<int64_t>(kRangesPerRead)}, &stored))
      return tx.Failed();
    for (const SqlRow& s : stored) {
      const Range pool(KeyValue(s[0]), KeyValue(s[1]));
      from = ToInt(s[0]) + 1;
      while (next < ranges.size() && ranges[next].second < pool.first) ++next;
      if (next == ranges.size()) break;
      if (ranges[next].first > pool.second) continue;
      *why = Span(ranges[next]) + " overlaps the pool's range " + Span(pool) + ": nothing added";
      return StoreStatus::kRefused;
    }
  } while (stored.size() == kRangesPerRead && next < ranges.size());
  return StoreStatus::kOk;
}

/// Refuses sorted ranges that hold a number retired once: those are
/// never in use again.
StoreStatus CheckRetiredOverlap(Transaction& tx, const std::vector<Range>& ranges, std::string* why) {
  std::vector<SqlRow> stored;
  if (!tx.Execute("SELECT first_key, last_key FROM vxrom_retired WHERE last_key >= ? AND first_key <= ?",
                  {Key(ranges.front().first), Key(ranges.back().second)}, &stored))
    return tx.Failed();
  for (const SqlRow& s : stored) {
    const Range retired(KeyValue(s[0]), KeyValue(s[1]));
    auto at = std::lower_bound(ranges.begin(), ranges.end(), Range(retired.first, 0),
                               [](const Range& a, const Range& b) { return a.second < b.first; });
    if (at == ranges.end() || at->first > retired.second) continue;
    *why = Span(*at) + " overlaps the numbers retired from the pool, " + Span(retired) + ": nothing added";
    return StoreStatus::kRefused;
  }
  return StoreStatus::kOk;
}

/// Inserts the rows, many to a statement.
bool InsertRangeRows(Transaction& tx, const std::vector<Range>& rows) {
  std::string sql;
  for (size_t at = 0; at < rows.size(); at += kRowsPerInsert) {
    const size_t count = std::min(kRowsPerInsert, rows.size() - at);
    if (count != kRowsPerInsert || sql.empty()) {
      sql = "INSERT INTO vxrom_range (first_key, last_key, next_key) VALUES (?, ?, ?)";
      for (size_t i = 1; i < count; ++i) sql += ", (?, ?, ?)";
    }
    std::vector<SqlValue> values;
    for (size_t i = at; i < at + count; ++i) {
      values.emplace_back(Key(rows[i].first));
      values.emplace_back(Key(rows[i].second));
      values.emplace_back(Key(rows[i].first));
    }
    if (!tx.Execute(sql, values)) return false;
  }
  return true;
}

/// The pool's log entry of ranges added by action.
PoolChange AddedRanges(const std::string& action, const std::vector<Range>& ranges) {
  uint64_t count = 0;
  for (const Range& r : ranges) count += r.second - r.first + 1;
  PoolChange change;
  change.action = action;
  change.subject = ranges.size() == 1 ? Span(ranges[0])
                                      : std::to_string(ranges.size()) + " ranges, " +
                                            Span({ranges.front().first, ranges.back().second});
  change.detail = std::to_string(count) + " numbers";
  return change;
}

}  // namespace

StoreStatus Store::AddRanges(const std::vector<Range>& given, const std::string& action,
                             std::string* reason) {
  std::vector<Range> ranges = given;
  std::sort(ranges.begin(), ranges.end());
  for (size_t i = 1; i < ranges.size(); ++i) {
    if (ranges[i].first > ranges[i - 1].second) continue;
    *reason = Span(ranges[i]) + " overlaps " + Span(ranges[i - 1]) + ": nothing added";
    return StoreStatus::kRefused;
  }
  if (ranges.empty()) return StoreStatus::kOk;
  const std::vector<Range> rows = RangeRows(ranges);
  return Transact(
      Access::kWriteInTurn, [&](Transaction& tx, std::string* why) {
        // The first row is new to the pool (the attempt that lost its
        // commit found no overlap): when there, that commit was made.
        std::vector<SqlRow> stored;
        if (tx.commit_unknown()) {
          if (!tx.Execute("SELECT count(*) FROM vxrom_range WHERE first_key = ?", {Key(rows[0].first)}, &stored))
            return tx.Failed();
          if (ToInt(stored[0][0]) > 0) return StoreStatus::kOk;
        }
        StoreStatus status = CheckPoolOverlap(tx, ranges, why);
        if (status == StoreStatus::kOk) status = CheckRetiredOverlap(tx, ranges, why);
        if (status != StoreStatus::kOk) return status;
        return InsertRangeRows(tx, rows) && LogChange(tx, AddedRanges(action, ranges)) ? StoreStatus::kOk
                                                                                       : tx.Failed();
      },
      reason);
}

StoreStatus Store::Retire(uint64_t first, uint64_t last, uint64_t* count, std::string* reason) {
  const Range asked(first, last);
  return Transact(
      Access::kWriteInTurn, [&](Transaction& tx, std::string* why) {
        std::vector<SqlRow> rows;
        if (!tx.Execute("SELECT eui64, state FROM vxrom_eui WHERE eui_key >= ? AND eui_key <= ? AND "
                        "state <> 'free' ORDER BY eui_key LIMIT 1",
                        {Key(first), Key(last)}, &rows))
          return tx.Failed();
        if (!rows.empty()) {
          *why = rows[0][0].value_or("?") + " is " + rows[0][1].value_or("?") +
                 ": only free numbers are retired; nothing retired";
          return StoreStatus::kRefused;
        }
        if (!tx.Execute("SELECT first_key, last_key, next_key FROM vxrom_range WHERE last_key >= ? AND "
                        "first_key <= ? ORDER BY first_key",
                        {Key(first), Key(last)}, &rows))
          return tx.Failed();
        uint64_t covered = first;
        for (const SqlRow& r : rows) {
          if (KeyValue(r[0]) > covered) break;
          covered = KeyValue(r[1]) == UINT64_MAX ? UINT64_MAX : std::max(covered, KeyValue(r[1]) + 1);
        }
        if (covered <= last) {
          *why = FormatEui64Value(covered) + " is not in the pool: nothing retired";
          return StoreStatus::kRefused;
        }
        for (const SqlRow& r : rows)
          if (!CutRange(tx, KeyValue(r[0]), KeyValue(r[1]), KeyValue(r[2]), asked)) return tx.Failed();
        PoolChange change;
        change.action = "pool retire";
        change.subject = Span(asked);
        *count = last - first + 1;
        change.detail = std::to_string(*count) + " numbers";
        return tx.Execute("DELETE FROM vxrom_eui WHERE eui_key >= ? AND eui_key <= ?", {Key(first), Key(last)}) &&
                       tx.Execute("INSERT INTO vxrom_retired (first_key, last_key) VALUES (?, ?)",
                                  {Key(first), Key(last)}) &&
                       LogChange(tx, change)
                   ? StoreStatus::kOk
                   : tx.Failed();
      },
      reason);
}

StoreStatus Store::Counts(PoolCounts* counts, std::string* reason) {
  std::vector<SqlRow> ranges, states, lowest;
  StoreStatus status = Transact(
      Access::kRead, [&](Transaction& tx, std::string*) {
        const bool ok =
            tx.Execute("SELECT first_key, last_key, next_key FROM vxrom_range WHERE next_key <= last_key ORDER BY first_key", {}, &ranges) &&
            tx.Execute("SELECT state, count(*) FROM vxrom_eui GROUP BY state", {}, &states) &&
            tx.Execute("SELECT min(eui_key) FROM vxrom_eui WHERE state = 'free'", {}, &lowest);
        return ok ? StoreStatus::kOk : tx.Failed();
      },
      reason);
  if (status != StoreStatus::kOk) return status;
  *counts = PoolCounts();
  for (const SqlRow& r : ranges)
    counts->free += static_cast<uint64_t>(ToInt(r[1]) - ToInt(r[2])) + 1;
  for (const SqlRow& r : states) {
    const uint64_t n = static_cast<uint64_t>(ToInt(r[1]));
    if (*r[0] == "free") counts->free += n;
    if (*r[0] == "reserved") counts->reserved += n;
    if (*r[0] == "programmed") counts->programmed += n;
    if (*r[0] == "spoiled") counts->spoiled += n;
  }
  if (!ranges.empty())
    counts->next = KeyValue(ranges[0][2]);
  else if (!lowest.empty() && lowest[0][0])
    counts->next = KeyValue(lowest[0][0]);
  return StoreStatus::kOk;
}

namespace {

/// A serial as the database's lower() compares it (letters A to Z).
std::string SerialKeyOf(const std::string& serial) {
  std::string key = serial;
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return key;
}

/// Refuses (kSerialTaken) a board whose serial is programmed already
/// (history has it: a number becomes programmed with its record) or
/// reserved by a run now (few rows, found by state).  On a server the
/// reservations that name serials take turns, so that each sees the
/// others' rows.
StoreStatus CheckSerials(Transaction& tx, const std::vector<BoardClaim>& boards,
                         std::string* reason) {
  std::vector<SqlValue> serials;
  std::map<std::string, std::string> address_of;
  for (const BoardClaim& b : boards)
    if (b.serial && !b.rework) {
      serials.emplace_back(*b.serial);
      address_of[SerialKeyOf(*b.serial)] = b.address;
    }
  if (serials.empty()) return StoreStatus::kOk;
  // Reservations naming serials take turns, so that two stations never
  // both find a serial free.
  if (!tx.TakeTurn(TurnLock::kSerials)) return tx.Failed();
  std::vector<SqlValue> params = serials;
  params.insert(params.end(), serials.begin(), serials.end());
  std::string marks;
  for (size_t i = 0; i < serials.size(); ++i) marks += i ? ", lower(?)" : "lower(?)";
  std::vector<SqlRow> rows;
  if (!tx.Execute(std::string("SELECT h.serial, NULL FROM vxrom_history h LEFT JOIN vxrom_eui e ON ") +
                      "e.eui64 = h.eui64 WHERE " + kStillProgrammed + " AND lower(h.serial) IN (" +
                      marks + ") UNION ALL SELECT serial, station FROM vxrom_eui WHERE state = "
                              "'reserved' AND lower(serial) IN (" +
                      marks + ") LIMIT 1",
                  params, &rows))
    return tx.Failed();
  if (rows.empty()) return StoreStatus::kOk;
  const std::string serial = rows[0][0].value_or("");
  *reason = "serial \"" + serial + "\" (" + address_of[SerialKeyOf(serial)] + ") ";
  *reason += rows[0][1] ? "is being programmed by station \"" + *rows[0][1] + "\" now: no board touched"
                        : "is in history as programmed already (--rework records a new attempt): no board touched";
  return StoreStatus::kSerialTaken;
}

}  // namespace

namespace {

/// After a commit whose answer was lost: the numbers that commit
/// reserved, this run's rows of this reservation, in the boards' order;
/// none when it did not commit.
bool LostReservation(Transaction& tx, const RunIdentity& run, const std::string& now,
                     const std::vector<BoardClaim>& boards, std::vector<int64_t>* keys) {
  std::vector<SqlRow> rows;
  if (!tx.Execute("SELECT address, eui_key FROM vxrom_eui WHERE run_id = ? AND "
                  "reserved_at = ? AND state = 'reserved'",
                  {run.run_id, now}, &rows))
    return false;
  std::map<std::string, int64_t> reserved;
  for (const SqlRow& r : rows) reserved[r[0].value_or("")] = ToInt(r[1]);
  for (const BoardClaim& b : boards)
    if (reserved.count(b.address)) keys->push_back(reserved[b.address]);
  if (keys->size() != boards.size()) keys->clear();
  return true;
}

/// The common case in one statement: a range with room for the whole
/// run moves its counter on.  On a server the row lock orders the
/// stations, and a station that waited re-checks the room it sees.  A
/// range another station holds is passed over, so that stations commit
/// side by side instead of one after the other.
bool TakeFromOneRange(Transaction& tx, int64_t n, std::vector<int64_t>* keys) {
  std::vector<SqlRow> rows;
  if (!tx.Execute("UPDATE vxrom_range SET next_key = next_key + ? WHERE "
                  "first_key = (SELECT first_key FROM vxrom_range WHERE "
                  "last_key - next_key >= ? ORDER BY first_key LIMIT 1" +
                      tx.sql().RowLock(true) +
                      ") AND last_key - next_key >= ? RETURNING next_key",
                  {n, n - 1, n - 1}, &rows))
    return false;
  if (!rows.empty())
    for (int64_t end = ToInt(rows[0][0]), k = end - n; k < end; ++k) keys->push_back(k);
  return true;
}

/// No range has room for the run: the numbers earlier runs gave back
/// (the first *returned of *keys) and the remains of as few ranges as
/// it takes, with the writers in turn.  Locked rows: a one-range
/// reservation of another station waits.
bool TakeFromMany(Transaction& tx, size_t n, std::vector<int64_t>* keys, size_t* returned) {
  std::vector<SqlRow> rows;
  if (!tx.TakeTurn(TurnLock::kWriters)) return false;
  if (!tx.Execute("SELECT eui_key FROM vxrom_eui WHERE state = 'free' ORDER BY eui_key LIMIT ?",
                  {static_cast<int64_t>(n)}, &rows))
    return false;
  for (const SqlRow& r : rows) keys->push_back(ToInt(r[0]));
  *returned = keys->size();
  // At most one range a board is read, never the whole pool.  A range
  // that another station emptied while this one waited for it drops
  // out: ask again past the last one seen until none is left.  (No
  // range starts at the largest key: its first octet would have the
  // group bit.)
  int64_t from = Key(0);
  for (bool more = true; more && keys->size() < n;) {
    if (!tx.Execute("SELECT first_key, last_key, next_key FROM vxrom_range WHERE "
                    "next_key <= last_key AND first_key >= ? ORDER BY first_key LIMIT ?" +
                        tx.sql().RowLock(false),
                    {from, static_cast<int64_t>(n - keys->size())}, &rows))
      return false;
    more = !rows.empty();
    for (const SqlRow& r : rows) {
      const int64_t first = ToInt(r[0]), last = ToInt(r[1]);
      int64_t next = ToInt(r[2]);
      from = first + 1;
      while (keys->size() < n && next <= last) keys->push_back(next++);
      if (!tx.Execute("UPDATE vxrom_range SET next_key = ? WHERE first_key = ?", {next, first}))
        return false;
    }
  }
  return true;
}

/// Marks the numbers reserved for the run's boards: numbers given back
/// were rows already; new ones become rows, all in one statement.
bool MarkReserved(Transaction& tx, const RunIdentity& run, const std::string& now,
                  const std::vector<BoardClaim>& boards, const std::vector<int64_t>& keys,
                  size_t returned) {
  std::string insert;
  std::vector<SqlValue> values;
  for (size_t i = 0; i < keys.size(); ++i) {
    std::vector<SqlValue> row = {run.run_id, run.station, run.host,
                                 static_cast<int64_t>(run.pid),
                                 static_cast<int64_t>(run.pid_start), boards[i].address,
                                 SqlValue::Maybe(boards[i].serial), now, keys[i]};
    if (i < returned) {
      if (!tx.Execute("UPDATE vxrom_eui SET state = 'reserved', run_id = ?, station = "
                      "?, host = ?, pid = ?, pid_start = ?, address = ?, serial = ?, "
                      "reserved_at = ? WHERE eui_key = ?",
                      row))
        return false;
      continue;
    }
    insert += insert.empty() ? "" : ", ";
    insert += "('reserved', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
    values.insert(values.end(), row.begin(), row.end());
    values.emplace_back(FormatEui64Value(Value(keys[i])));
  }
  return insert.empty() ||
         tx.Execute(
             "INSERT INTO vxrom_eui (state, run_id, station, host, pid, pid_start, "
             "address, serial, reserved_at, eui_key, eui64) VALUES " +
                 insert,
             values);
}

}  // namespace

StoreStatus Store::Reserve(const RunIdentity& run,
                           const std::vector<BoardClaim>& boards, bool rework,
                           std::vector<uint64_t>* numbers,
                           std::string* reason) {
  numbers->clear();
  if (boards.empty()) return StoreStatus::kOk;
  const std::string now = UtcTimestamp();
  std::vector<int64_t> keys;
  StoreStatus status = Transact(
      Access::kWrite, [&](Transaction& tx, std::string* why) {
        keys.clear();
        if (tx.commit_unknown()) {
          if (!LostReservation(tx, run, now, boards, &keys)) return tx.Failed();
          if (!keys.empty()) return StoreStatus::kOk;
        }
        if (!rework) {
          const StoreStatus serials = CheckSerials(tx, boards, why);
          if (serials != StoreStatus::kOk) return serials;
        }
        if (!TakeFromOneRange(tx, static_cast<int64_t>(boards.size()), &keys)) return tx.Failed();
        size_t returned = 0;
        if (keys.empty() && !TakeFromMany(tx, boards.size(), &keys, &returned)) return tx.Failed();
        if (keys.size() < boards.size()) {
          *why = "the pool has " + std::to_string(keys.size()) + " free EUI-64" +
                 (keys.size() == 1 ? "" : "s") + " for " + std::to_string(boards.size()) +
                 " boards: nothing reserved, no ROM touched (vxrom pool add adds more)";
          return StoreStatus::kTooSmall;
        }
        return MarkReserved(tx, run, now, boards, keys, returned) ? StoreStatus::kOk : tx.Failed();
      },
      reason);
  if (status != StoreStatus::kOk) return status;
  for (int64_t k : keys) numbers->push_back(Value(k));
  return StoreStatus::kOk;
}

namespace {

bool InsertHistory(Transaction& tx, const HistoryRecord& h, const std::string& run_id,
                   const std::string& entry_id) {
  std::vector<SqlValue> values = HistoryEntryFields(h, run_id, entry_id);
  int64_t seq = 0;
  std::string digest;
  if (!ChainAppend(tx, kHistoryEntry, values, &seq, &digest)) return false;
  values.emplace_back(seq);
  values.emplace_back(digest);
  return tx.Execute("INSERT INTO vxrom_history (" + HistoryColumns() +
                        ", run_id, entry_id, seq, digest) VALUES (" + Marks(values.size()) + ")",
                    values);
}

/// The statement that gives a settled number its new state.
const char* SettleSql(const Settlement& s) {
  // Whichever run holds it: a number a rework takes off its board is
  // spoiled, and one the board keeps stays programmed unless its
  // rework spoiled it.
  if (s.any_holder && s.outcome != Outcome::kSpoiled) return nullptr;
  if (s.any_holder)
    return "UPDATE vxrom_eui SET state = 'spoiled' WHERE eui_key = ? AND state <> 'spoiled'";
  switch (s.outcome) {
    case Outcome::kReleased:
      return "UPDATE vxrom_eui SET state = 'free', run_id = NULL, station = NULL, host = NULL, "
             "pid = NULL, pid_start = NULL, address = NULL, serial = NULL, reserved_at = NULL "
             "WHERE eui_key = ? AND run_id = ? AND state = 'reserved'";
    case Outcome::kProgrammed:
      return "UPDATE vxrom_eui SET state = 'programmed' WHERE eui_key = ? AND run_id = ? AND "
             "state = 'reserved'";
    case Outcome::kSpoiled:
      break;
  }
  return "UPDATE vxrom_eui SET state = 'spoiled' WHERE eui_key = ? AND run_id = ? AND state = "
         "'reserved'";
}

}  // namespace

StoreStatus Store::Settle(const Settlement& s, std::string* reason) {
  return Transact(
      Access::kWriteInTurn, [&](Transaction& tx, std::string*) {
        std::vector<SqlRow> rows;
        if (s.record) {
          if (!tx.Execute("SELECT count(*) FROM vxrom_history WHERE entry_id = ?", {s.entry_id}, &rows))
            return tx.Failed();
          if (!rows.empty() && ToInt(rows[0][0]) > 0) return StoreStatus::kOk;
        }
        if (s.number && SettleSql(s)) {
          std::vector<SqlValue> params = {Key(*s.number)};
          if (!s.any_holder) params.emplace_back(s.run_id);
          if (!tx.Execute(SettleSql(s), params)) return tx.Failed();
        }
        if (s.record && !InsertHistory(tx, *s.record, s.run_id, s.entry_id)) return tx.Failed();
        return StoreStatus::kOk;
      },
      reason);
}

StoreStatus Store::Reservations(const ReservationQuery& query,
                                std::vector<Reservation>* reservations, std::string* reason) {
  std::string sql =
      "SELECT eui_key, run_id, pid, pid_start, address, serial, reserved_at, station, host "
      "FROM vxrom_eui WHERE state = 'reserved'";
  std::vector<SqlValue> params;
  for (const auto& [value, column] : {std::make_pair(&query.run_id, " AND run_id = ?"),
                                      std::make_pair(&query.station, " AND station = ?"),
                                      std::make_pair(&query.host, " AND host = ?")}) {
    if (!*value) continue;
    sql += column;
    params.emplace_back(**value);
  }
  std::vector<SqlRow> rows;
  const StoreStatus status = Read(sql + " ORDER BY reserved_at, eui_key", params, &rows, reason);
  if (status != StoreStatus::kOk) return status;
  for (const SqlRow& r : rows) {
    Reservation v;
    v.number = KeyValue(r[0]);
    v.run_id = r[1].value_or("");
    v.pid = static_cast<uint64_t>(ToInt(r[2]));
    v.pid_start = static_cast<uint64_t>(ToInt(r[3]));
    v.address = r[4].value_or("");
    v.serial = r[5];
    v.reserved_at = r[6].value_or("");
    v.station = r[7].value_or("");
    v.host = r[8].value_or("");
    reservations->push_back(std::move(v));
  }
  return StoreStatus::kOk;
}

StoreStatus Store::Spans(const std::optional<std::string>& state, std::vector<PoolSpan>* spans,
                         std::string* reason) {
  std::vector<SqlRow> ranges, rows;
  const bool free = !state || *state == "free";
  const StoreStatus status = Transact(
      Access::kRead, [&](Transaction& tx, std::string*) {
        const bool ok =
            (!free || tx.Execute("SELECT next_key, last_key FROM vxrom_range WHERE next_key <= "
                                 "last_key ORDER BY first_key",
                                 {}, &ranges)) &&
            tx.Execute("SELECT eui_key, state, station, host, run_id FROM vxrom_eui" +
                           std::string(state ? " WHERE state = ?" : "") + " ORDER BY eui_key",
                       state ? std::vector<SqlValue>{*state} : std::vector<SqlValue>{}, &rows);
        return ok ? StoreStatus::kOk : tx.Failed();
      },
      reason);
  if (status != StoreStatus::kOk) return status;
  std::vector<PoolSpan> all;
  for (const SqlRow& r : ranges) all.push_back({KeyValue(r[0]), KeyValue(r[1]), "free", "", "", ""});
  for (const SqlRow& r : rows) {
    const uint64_t n = KeyValue(r[0]);
    PoolSpan span = {n, n, r[1].value_or(""), "", "", ""};
    if (span.state == "reserved") span = {n, n, span.state, r[2].value_or(""), r[3].value_or(""), r[4].value_or("")};
    all.push_back(span);
  }
  std::sort(all.begin(), all.end(), [](const PoolSpan& a, const PoolSpan& b) { return a.first < b.first; });
  for (const PoolSpan& span : all) {
    PoolSpan* last = spans->empty() ? nullptr : &spans->back();
    if (last && last->last + 1 == span.first && last->state == span.state && last->run_id == span.run_id)
      last->last = span.last;
    else
      spans->push_back(span);
  }
  return StoreStatus::kOk;
}

StoreStatus Store::LatestProgrammed(const std::string& join_where, const SqlValue& value,
                                    std::optional<HistoryRecord>* record, std::string* reason) {
  std::vector<SqlRow> rows;
  StoreStatus status = Read("SELECT " + HistoryColumns("h.") + " FROM vxrom_history h " + join_where +
                                " AND " + kStillProgrammed + " ORDER BY h.id DESC LIMIT 1",
                            {value}, &rows, reason);
  std::vector<HistoryRecord> found;
  if (status == StoreStatus::kOk) status = RecordsFromRows(rows, &found, reason);
  record->reset();
  if (!found.empty()) *record = found[0];
  return status;
}

StoreStatus Store::ProgrammedNumber(uint64_t number, std::optional<HistoryRecord>* record,
                                    std::string* reason) {
  return LatestProgrammed("JOIN vxrom_eui e ON e.eui64 = h.eui64 WHERE e.eui_key = ?", Key(number), record,
                          reason);
}

StoreStatus Store::ProgrammedSerial(const std::string& serial, std::optional<HistoryRecord>* record,
                                    std::string* reason) {
  return LatestProgrammed("LEFT JOIN vxrom_eui e ON e.eui64 = h.eui64 WHERE lower(h.serial) = lower(?)", serial,
                          record, reason);
}

StoreStatus Store::History(const HistoryFilter& filter, std::vector<HistoryRow>* out,
                           std::string* reason) {
  std::string sql = "SELECT " + HistoryColumns("h.") +
                    ", h.run_id, e.state FROM vxrom_history h LEFT JOIN vxrom_eui e ON e.eui64 = "
                    "h.eui64 WHERE 1 = 1";
  std::vector<SqlValue> params;
  auto where = [&](const std::optional<std::string>& value, const char* clause) {
    if (!value) return;
    sql += clause;
    params.emplace_back(*value);
  };
  where(filter.eui64, " AND h.eui64 = ?");
  where(filter.serial, " AND lower(h.serial) = lower(?)");
  where(filter.address, " AND h.address = ?");
  where(filter.station, " AND h.station = ?");
  where(filter.since, " AND h.started >= ?");
  where(filter.until, filter.until_exclusive ? " AND h.started < ?" : " AND h.started <= ?");
  where(filter.run_id, " AND h.run_id = ?");
  if (filter.ok) sql += *filter.ok ? " AND h.result = 0" : " AND h.result <> 0";
  sql += " ORDER BY h.started, h.id";
  std::vector<SqlRow> rows;
  StoreStatus status = Read(sql, params, &rows, reason);
  if (status != StoreStatus::kOk) return status;
  std::vector<HistoryRecord> records;
  if ((status = RecordsFromRows(rows, &records, reason)) != StoreStatus::kOk) return status;
  for (size_t i = 0; i < rows.size(); ++i)
    out->push_back({std::move(records[i]), rows[i][kHistoryFieldCount].value_or(""),
                    rows[i][kHistoryFieldCount + 1]});
  return StoreStatus::kOk;
}

StoreStatus Store::History(const HistoryFilter& filter, std::vector<HistoryRecord>* records,
                           std::string* reason) {
  std::vector<HistoryRow> rows;
  const StoreStatus status = History(filter, &rows, reason);
  for (HistoryRow& row : rows) records->push_back(std::move(row.record));
  return status;
}

std::string HistoryColumns(const std::string& prefix) {
  std::string columns;
  for (size_t i = 0; i < kHistoryFieldCount; ++i)
    columns += std::string(i ? ", " : "") + prefix + HistoryFieldAt(i).name;
  return columns;
}

bool RecordFromRow(const SqlRow& row, HistoryRecord* record, std::string* reason) {
  for (size_t i = 0; i < kHistoryFieldCount; ++i) {
    if (SetHistoryField(i, row[i], record)) continue;
    *reason = std::string("a history record's ") + HistoryFieldAt(i).name + " is unreadable";
    return false;
  }
  return true;
}

StoreStatus Store::NumberState(uint64_t number, std::optional<std::string>* state,
                               std::string* reason) {
  std::vector<SqlRow> own, ranges;
  const StoreStatus status = Transact(
      Access::kRead, [&](Transaction& tx, std::string*) {
        return tx.Execute("SELECT state FROM vxrom_eui WHERE eui_key = ?", {Key(number)}, &own) &&
                       tx.Execute(
                           "SELECT count(*) FROM vxrom_range WHERE first_key <= ? AND "
                           "last_key >= ?",
                           {Key(number), Key(number)}, &ranges)
                   ? StoreStatus::kOk
                   : tx.Failed();
      },
      reason);
  state->reset();
  if (!own.empty())
    *state = own[0][0];
  else if (!ranges.empty() && ToInt(ranges[0][0]) > 0)
    *state = "free";
  return status;
}

}  // namespace store
