#include "vxrom/store.h"

#include <time.h>

#include <algorithm>
#include <chrono>

namespace {

/// The schema this program writes; a later one is refused, an earlier
/// one migrated.
const int64_t kSchemaVersion = 1;

/// Ranges of at least this many numbers are stored as kParts rows.
const uint64_t kSplitFrom = 1u << 16;
const uint64_t kParts = 16;

/// Numbers are kept as signed 64-bit keys whose order is the numbers'
/// order: the top bit flipped.
int64_t Key(uint64_t value) {
  return static_cast<int64_t>(value ^ (uint64_t{1} << 63));
}
uint64_t Value(int64_t key) {
  return static_cast<uint64_t>(key) ^ (uint64_t{1} << 63);
}
int64_t ToInt(const std::optional<std::string>& text) {
  return text ? std::stoll(*text) : 0;
}
uint64_t KeyValue(const std::optional<std::string>& text) {
  return Value(ToInt(text));
}

/// The tables, in the words of each dialect.
std::vector<std::string> SchemaStatements(SqlDialect dialect) {
  const bool pg = dialect == SqlDialect::kPostgres;
  return {
      "CREATE TABLE IF NOT EXISTS vxrom_schema (version BIGINT NOT NULL)",
      "CREATE TABLE IF NOT EXISTS vxrom_range (first_key BIGINT PRIMARY KEY, "
      "last_key BIGINT NOT NULL, next_key BIGINT NOT NULL)",
      "CREATE TABLE IF NOT EXISTS vxrom_eui (eui_key BIGINT PRIMARY KEY, "
      "state TEXT NOT NULL, run_id TEXT, station TEXT, host TEXT, pid BIGINT, "
      "address TEXT, serial TEXT, reserved_at TEXT, pid_start BIGINT, eui64 TEXT)",
      "CREATE INDEX IF NOT EXISTS vxrom_eui_state ON vxrom_eui (state, station)",
      std::string("CREATE TABLE IF NOT EXISTS vxrom_history (id ") +
          (pg ? "BIGSERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY AUTOINCREMENT") +
          ", started TEXT NOT NULL, finished TEXT NOT NULL, station TEXT NOT "
          "NULL, host TEXT NOT NULL, serial TEXT, address TEXT NOT NULL, "
          "chip_revision BIGINT, rom_type BIGINT, firmware_version TEXT, "
          "subsystem_vendor_id BIGINT, subsystem_id BIGINT, eui64 TEXT, "
          "image_sha256 TEXT, result BIGINT NOT NULL, reason TEXT, "
          "duration_s " +
          (pg ? "DOUBLE PRECISION" : "REAL") +
          " NOT NULL, version TEXT NOT NULL, run_id TEXT, entry_id TEXT UNIQUE)",
      "CREATE TABLE IF NOT EXISTS vxrom_store_id (id TEXT NOT NULL)",
      "CREATE INDEX IF NOT EXISTS vxrom_history_serial ON vxrom_history "
      "(serial)",
  };
}

/// "started, finished, ..." of history.
std::string HistoryColumns() {
  std::string columns;
  for (size_t i = 0; i < kHistoryFieldCount; ++i)
    columns += std::string(i ? ", " : "") + kHistoryFields[i];
  return columns;
}

}  // namespace

std::string UtcTimestamp() {
  const time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  const struct tm* utc = gmtime(&now);
  char text[32] = {};
  if (utc) strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
  return text;
}

bool ParseEui64(const std::string& text, uint64_t* value) {
  if (text.size() != 23) return false;
  uint64_t v = 0;
  for (size_t i = 0; i < 23; ++i) {
    const char c = text[i];
    if (i % 3 == 2) {
      if (c != '-') return false;
      continue;
    }
    unsigned digit = c >= '0' && c <= '9'   ? static_cast<unsigned>(c - '0')
                     : c >= 'a' && c <= 'f' ? static_cast<unsigned>(c - 'a' + 10)
                     : c >= 'A' && c <= 'F' ? static_cast<unsigned>(c - 'A' + 10)
                                            : 16u;
    if (digit == 16) return false;
    v = v << 4 | digit;
  }
  *value = v;
  return true;
}

std::string FormatEui64Value(uint64_t value) {
  uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(value >> (56 - 8 * i));
  return FormatEui64(bytes);
}

std::unique_ptr<Store> Store::Open(const std::string& url,
                                   std::string* reason) {
  std::string error;
  std::unique_ptr<Database> db;
  if (url.rfind("sqlite:", 0) == 0) {
    db = OpenSqlite(url.substr(7), &error);
  } else if (url.rfind("odbc:", 0) == 0) {
    db = OpenOdbc(url.substr(5), &error);
  } else {
    *reason = "the database \"" + MaskCredentials(url) +
              "\" is neither sqlite:PATH nor odbc:CONNECTION-STRING";
    return nullptr;
  }
  if (!db) {
    *reason = "cannot open the database " + MaskCredentials(url) + ": " + error;
    return nullptr;
  }
  std::unique_ptr<Store> store(new Store(std::move(db)));
  if (store->Migrate(&error) != StoreStatus::kOk) {
    *reason = "the database " + MaskCredentials(url) + ": " + error;
    return nullptr;
  }
  return store;
}

bool Store::BeginWrite(std::string* error) {
  if (!db_->Begin(error)) return false;
  // On a server, writers take turns on one advisory lock: the tables may
  // not exist yet, and a reservation reads before it writes.
  return db_->dialect() != SqlDialect::kPostgres ||
         db_->Execute("SELECT pg_advisory_xact_lock(5130)", {}, nullptr, error);
}

StoreStatus Store::Abandon(const std::string& error, std::string* reason) {
  db_->Rollback();
  *reason = MaskCredentials(error);
  return StoreStatus::kUnavailable;
}

StoreStatus Store::Migrate(std::string* reason) {
  std::string error;
  if (!BeginWrite(&error)) return Abandon(error, reason);
  for (const std::string& sql : SchemaStatements(db_->dialect()))
    if (!db_->Execute(sql, {}, nullptr, &error)) return Abandon(error, reason);
  std::vector<SqlRow> rows;
  if (!db_->Execute("SELECT max(version) FROM vxrom_schema", {}, &rows, &error))
    return Abandon(error, reason);
  const bool fresh = rows.empty() || !rows[0][0];
  if (fresh && !db_->Execute("INSERT INTO vxrom_schema (version) VALUES (?)",
                             {kSchemaVersion}, nullptr, &error))
    return Abandon(error, reason);
  std::vector<SqlRow> ids;
  if (!db_->Execute("SELECT id FROM vxrom_store_id", {}, &ids, &error)) return Abandon(error, reason);
  if (ids.empty()) {
    ids.push_back({NewEntryId()});
    if (!db_->Execute("INSERT INTO vxrom_store_id (id) VALUES (?)", {*ids[0][0]}, nullptr, &error))
      return Abandon(error, reason);
  }
  store_id_ = ids[0][0].value_or("");
  if (!fresh && ToInt(rows[0][0]) > kSchemaVersion) {
    db_->Rollback();
    *reason = "its schema is version " + *rows[0][0] +
              ", newer than this vxrom knows (" +
              std::to_string(kSchemaVersion) + "): update vxrom";
    return StoreStatus::kUnavailable;
  }
  if (!db_->Commit(&error)) return Abandon(error, reason);
  return StoreStatus::kOk;
}

StoreStatus Store::AddRanges(
    const std::vector<std::pair<uint64_t, uint64_t>>& ranges,
    std::string* reason) {
  std::string error;
  if (!BeginWrite(&error)) return Abandon(error, reason);
  for (size_t i = 0; i < ranges.size(); ++i) {
    const int64_t first = Key(ranges[i].first), last = Key(ranges[i].second);
    std::vector<SqlRow> rows;
    if (!db_->Execute("SELECT first_key, last_key FROM vxrom_range WHERE "
                      "first_key <= ? AND last_key >= ? ORDER BY first_key "
                      "LIMIT 1",
                      {last, first}, &rows, &error))
      return Abandon(error, reason);
    if (!rows.empty()) {
      db_->Rollback();
      *reason = FormatEui64Value(ranges[i].first) + " to " +
                FormatEui64Value(ranges[i].second) +
                " overlaps the pool's range " + FormatEui64Value(KeyValue(rows[0][0])) +
                " to " + FormatEui64Value(KeyValue(rows[0][1])) +
                ": nothing added";
      return StoreStatus::kRefused;
    }
    // A large range is kept as a few rows of equal parts: stations that
    // reserve at once each take a part of their own.
    const uint64_t size = ranges[i].second - ranges[i].first;
    const uint64_t part = size >= kSplitFrom ? size / kParts + 1 : size + 1;
    for (uint64_t at = 0; at <= size; at += part) {
      const int64_t begin = Key(ranges[i].first + at);
      const int64_t end = Key(ranges[i].first + std::min(size, at + part - 1));
      if (!db_->Execute("INSERT INTO vxrom_range (first_key, last_key, "
                        "next_key) VALUES (?, ?, ?)",
                        {begin, end, begin}, nullptr, &error))
        return Abandon(error, reason);
      if (size - at < part) break;
    }
  }
  if (!db_->Commit(&error)) return Abandon(error, reason);
  return StoreStatus::kOk;
}

StoreStatus Store::Counts(PoolCounts* counts, std::string* reason) {
  std::string error;
  std::vector<SqlRow> ranges, states, lowest;
  bool ok = db_->Execute(
                "SELECT first_key, last_key, next_key FROM vxrom_range "
                "WHERE next_key <= last_key ORDER BY first_key",
                {}, &ranges, &error) &&
            db_->Execute("SELECT state, count(*) FROM vxrom_eui GROUP BY state",
                         {}, &states, &error) &&
            db_->Execute("SELECT min(eui_key) FROM vxrom_eui WHERE state = 'free'",
                         {}, &lowest, &error);
  // A read ends its transaction too, so no snapshot is held open.
  db_->Rollback();
  if (!ok) {
    *reason = MaskCredentials(error);
    return StoreStatus::kUnavailable;
  }
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

bool Store::TakeFromOneRange(size_t count, std::vector<int64_t>* keys,
                             std::string* error) {
  // The common case in one statement: a range with room for the whole
  // run moves its counter on.  On a server the row lock orders the
  // stations, and a station that waited re-checks the room it sees.
  // A range another station holds is passed over, so that stations
  // commit side by side instead of one after the other.
  const int64_t n = static_cast<int64_t>(count);
  const std::string skip = db_->dialect() == SqlDialect::kPostgres ? " FOR UPDATE SKIP LOCKED" : "";
  std::vector<SqlRow> rows;
  if (!db_->Execute("UPDATE vxrom_range SET next_key = next_key + ? WHERE "
                    "first_key = (SELECT first_key FROM vxrom_range WHERE "
                    "last_key - next_key >= ? ORDER BY first_key LIMIT 1" +
                        skip + ") AND last_key - next_key >= ? RETURNING next_key",
                    {n, n - 1, n - 1}, &rows, error))
    return false;
  if (rows.empty()) return true;
  const int64_t end = ToInt(rows[0][0]);
  for (int64_t k = end - n; k < end; ++k) keys->push_back(k);
  return true;
}

StoreStatus Store::Reserve(const RunIdentity& run,
                           const std::vector<BoardClaim>& boards,
                           std::vector<uint64_t>* numbers,
                           std::string* reason) {
  std::string error;
  numbers->clear();
  if (boards.empty()) return StoreStatus::kOk;
  if (!db_->Begin(&error)) return Abandon(error, reason);
  std::vector<int64_t> keys;
  if (!TakeFromOneRange(boards.size(), &keys, &error)) return Abandon(error, reason);
  size_t from_returned = 0;
  if (keys.empty()) {
    // No range has room for the run: the remains of several ranges and
    // the numbers earlier runs gave back, with the writers in turn.
    if (db_->dialect() == SqlDialect::kPostgres &&
        !db_->Execute("SELECT pg_advisory_xact_lock(5130)", {}, nullptr, &error))
      return Abandon(error, reason);
    std::vector<SqlRow> returned, ranges;
    if (!db_->Execute("SELECT eui_key FROM vxrom_eui WHERE state = 'free' "
                      "ORDER BY eui_key LIMIT ?",
                      {static_cast<int64_t>(boards.size())}, &returned, &error))
      return Abandon(error, reason);
    for (const SqlRow& r : returned) keys.push_back(ToInt(r[0]));
    from_returned = keys.size();
    // Locked rows: a one-range reservation of another station waits.
    const std::string lock = db_->dialect() == SqlDialect::kPostgres ? " FOR UPDATE" : "";
    if (keys.size() < boards.size() &&
        !db_->Execute("SELECT first_key, last_key, next_key FROM vxrom_range "
                      "WHERE next_key <= last_key ORDER BY first_key" +
                          lock,
                      {}, &ranges, &error))
      return Abandon(error, reason);
    for (const SqlRow& r : ranges) {
      if (keys.size() == boards.size()) break;
      int64_t next = ToInt(r[2]);
      const int64_t last = ToInt(r[1]);
      while (keys.size() < boards.size() && next <= last) keys.push_back(next++);
      if (!db_->Execute("UPDATE vxrom_range SET next_key = ? WHERE first_key = ?",
                        {next, ToInt(r[0])}, nullptr, &error))
        return Abandon(error, reason);
    }
    if (keys.size() < boards.size()) {
      db_->Rollback();
      *reason = "the pool has " + std::to_string(keys.size()) +
                " free EUI-64s for " + std::to_string(boards.size()) +
                " boards: nothing reserved, no ROM touched (vxrom pool add "
                "adds more)";
      return StoreStatus::kTooSmall;
    }
  }
  const std::string now = UtcTimestamp();
  // Numbers given back were rows already; new ones become rows, all in
  // one statement.
  std::string insert;
  std::vector<SqlValue> values;
  for (size_t i = 0; i < keys.size(); ++i) {
    std::vector<SqlValue> row = {run.run_id, run.station, run.host,
                                 static_cast<int64_t>(run.pid), static_cast<int64_t>(run.pid_start),
                                 boards[i].address, SqlValue::Maybe(boards[i].serial), now,
                                 FormatEui64Value(Value(keys[i])), keys[i]};
    if (i < from_returned) {
      if (!db_->Execute("UPDATE vxrom_eui SET state = 'reserved', run_id = ?, station = "
                        "?, host = ?, pid = ?, pid_start = ?, address = ?, serial = ?, "
                        "reserved_at = ?, eui64 = ? WHERE eui_key = ?",
                        row, nullptr, &error))
        return Abandon(error, reason);
    } else {
      insert += insert.empty() ? "" : ", ";
      insert += "('reserved', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
      values.insert(values.end(), row.begin(), row.end());
    }
    numbers->push_back(Value(keys[i]));
  }
  if (!insert.empty() &&
      !db_->Execute("INSERT INTO vxrom_eui (state, run_id, station, host, pid, "
                    "pid_start, address, serial, reserved_at, eui64, eui_key) VALUES " +
                        insert,
                    values, nullptr, &error)) {
    numbers->clear();
    return Abandon(error, reason);
  }
  if (!db_->Commit(&error)) {
    numbers->clear();
    return Abandon(error, reason);
  }
  return StoreStatus::kOk;
}

bool Store::InsertHistory(const HistoryRecord& h, const std::string& run_id,
                          const std::string& entry_id, std::string* error) {
  std::vector<SqlValue> values = HistoryValues(h);
  values.emplace_back(run_id);
  values.emplace_back(entry_id);
  std::string marks;
  for (size_t i = 0; i < values.size(); ++i) marks += i ? ", ?" : "?";
  return db_->Execute("INSERT INTO vxrom_history (" + HistoryColumns() +
                          ", run_id, entry_id) VALUES (" + marks + ")",
                      values, nullptr, error);
}

StoreStatus Store::Settle(const Settlement& s, std::string* reason) {
  std::string error;
  if (!BeginWrite(&error)) return Abandon(error, reason);
  if (s.record) {
    std::vector<SqlRow> rows;
    if (!db_->Execute("SELECT count(*) FROM vxrom_history WHERE entry_id = ?",
                      {s.entry_id}, &rows, &error))
      return Abandon(error, reason);
    if (!rows.empty() && ToInt(rows[0][0]) > 0) {
      db_->Rollback();
      return StoreStatus::kOk;
    }
  }
  if (s.number) {
    const char* sql =
        s.any_holder ? "UPDATE vxrom_eui SET state = 'spoiled' WHERE eui_key = ? AND "
                       "state <> 'spoiled'"
        : s.outcome == Outcome::kReleased
            ? "UPDATE vxrom_eui SET state = 'free', run_id = NULL, station = "
              "NULL, host = NULL, pid = NULL, pid_start = NULL, address = NULL, "
              "serial = NULL, reserved_at = NULL WHERE eui_key = ? AND run_id = ? "
              "AND state = 'reserved'"
        : s.outcome == Outcome::kProgrammed
            ? "UPDATE vxrom_eui SET state = 'programmed' WHERE eui_key = ? "
              "AND run_id = ? AND state = 'reserved'"
            : "UPDATE vxrom_eui SET state = 'spoiled' WHERE eui_key = ? AND "
              "run_id = ? AND state = 'reserved'";
    std::vector<SqlValue> params = {Key(*s.number)};
    if (!s.any_holder) params.emplace_back(s.run_id);
    if (!db_->Execute(sql, params, nullptr, &error)) return Abandon(error, reason);
  }
  if (s.record && !InsertHistory(*s.record, s.run_id, s.entry_id, &error))
    return Abandon(error, reason);
  if (!db_->Commit(&error)) return Abandon(error, reason);
  return StoreStatus::kOk;
}

StoreStatus Store::Reservations(const std::string& station, const std::string& host,
                                std::vector<Reservation>* reservations,
                                std::string* reason) {
  std::string error;
  std::vector<SqlRow> rows;
  const bool ok = db_->Execute(
      "SELECT eui_key, run_id, pid, pid_start, address, serial, reserved_at "
      "FROM vxrom_eui WHERE state = 'reserved' AND station = ? AND host = ? "
      "ORDER BY reserved_at, eui_key",
      {station, host}, &rows, &error);
  db_->Rollback();
  if (!ok) {
    *reason = MaskCredentials(error);
    return StoreStatus::kUnavailable;
  }
  for (const SqlRow& r : rows) {
    Reservation v;
    v.number = KeyValue(r[0]);
    v.run_id = r[1].value_or("");
    v.pid = static_cast<uint64_t>(ToInt(r[2]));
    v.pid_start = static_cast<uint64_t>(ToInt(r[3]));
    v.address = r[4].value_or("");
    v.serial = r[5];
    v.reserved_at = r[6].value_or("");
    reservations->push_back(std::move(v));
  }
  return StoreStatus::kOk;
}

StoreStatus Store::SerialProgrammed(const std::string& serial, bool* found,
                                    std::string* reason) {
  std::string error;
  std::vector<SqlRow> rows;
  bool ok = db_->Execute(
      "SELECT count(*) FROM vxrom_history WHERE serial = ? "
      "AND result = 0",
      {serial}, &rows, &error);
  db_->Rollback();
  if (!ok) {
    *reason = MaskCredentials(error);
    return StoreStatus::kUnavailable;
  }
  *found = !rows.empty() && ToInt(rows[0][0]) > 0;
  return StoreStatus::kOk;
}

StoreStatus Store::History(const HistoryFilter& filter,
                           std::vector<HistoryRecord>* records,
                           std::string* reason) {
  std::string sql = "SELECT " + HistoryColumns() +
                    " FROM vxrom_history WHERE 1 = 1";
  std::vector<SqlValue> params;
  auto where = [&](const std::optional<std::string>& value, const char* clause) {
    if (!value) return;
    sql += clause;
    params.emplace_back(*value);
  };
  where(filter.eui64, " AND eui64 = ?");
  where(filter.serial, " AND serial = ?");
  where(filter.address, " AND address = ?");
  where(filter.station, " AND station = ?");
  where(filter.since, " AND started >= ?");
  sql += " ORDER BY started, id";
  std::string error;
  std::vector<SqlRow> rows;
  bool ok = db_->Execute(sql, params, &rows, &error);
  db_->Rollback();
  if (!ok) {
    *reason = MaskCredentials(error);
    return StoreStatus::kUnavailable;
  }
  for (const SqlRow& r : rows) {
    HistoryRecord h;
    for (size_t i = 0; i < kHistoryFieldCount; ++i)
      if (!SetHistoryField(i, r[i], &h)) {
        *reason = std::string("a history record's ") + kHistoryFields[i] + " is unreadable";
        return StoreStatus::kUnavailable;
      }
    records->push_back(std::move(h));
  }
  return StoreStatus::kOk;
}
