// SQLite: the file every run on one PC shares.  WAL lets readers go on
// while one run writes, the busy timeout makes a second writer wait
// instead of fail, and BEGIN IMMEDIATE takes the write lock at the start
// of a transaction, so two reservations can never interleave.
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <unordered_map>

#include "store/db.h"

using namespace line;

namespace store {

namespace {

using Clock = std::chrono::steady_clock;

/// Pause between two attempts at a busy database, in milliseconds.
const int kRetryMs = 10;
/// Compiled statements kept at most.
const size_t kPreparedAtMost = 64;

/// The SQLSTATE that says what an SQLite result code means to the store:
/// a busy database past its wait is a lock not available, a stale
/// snapshot a serialization failure (trying again works), failures of
/// the file or the disk leave the database unavailable.
const char* SqlState(int code) {
  switch (code) {
    case SQLITE_BUSY_SNAPSHOT:
      return "40001";
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE:
      return "23505";
    case SQLITE_CONSTRAINT_CHECK:
      return "23514";
    case SQLITE_CONSTRAINT_NOTNULL:
      return "23502";
  }
  switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return kSqlStateBusy;
    case SQLITE_CONSTRAINT:
      return "23000";
    case SQLITE_READONLY:
      return "25006";
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_PROTOCOL:
      return "58030";
    case SQLITE_FULL:
      return "53100";
    case SQLITE_NOMEM:
      return "53200";
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return "XX001";
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return "42501";
    case SQLITE_INTERRUPT:
      return "57014";
    case SQLITE_TOOBIG:
      return "54000";
    case SQLITE_ERROR:
      return "42000";
  }
  return "HY000";
}

class SqliteDatabase : public Database {
 public:
  SqliteDatabase(sqlite3* db, std::chrono::milliseconds busy_wait) : db_(db), busy_wait_(busy_wait) {
    sqlite3_busy_handler(db_, WaitWhileBusy, this);
  }
  ~SqliteDatabase() override {
    Forget();
    sqlite3_close(db_);
  }

  bool Execute(const std::string& sql, const std::vector<SqlValue>& params,
               std::vector<SqlRow>* rows, DbError* error) override {
    // A statement outside a transaction (BEGIN among them) starts the
    // time its transaction may wait for other writers.  Outside one, a
    // busy database is waited for here too: a connection that opens while
    // another closes (and checkpoints) can be refused at once, without
    // the busy handler.
    const bool outside = sqlite3_get_autocommit(db_) != 0;
    if (outside) deadline_ = Clock::now() + busy_wait_;
    for (;;) {
      if (Attempt(sql, params, rows, error)) return true;
      if (!outside || (failed_code_ & 0xFF) != SQLITE_BUSY || Clock::now() >= deadline_) return false;
      if (rows) rows->clear();
      sqlite3_sleep(kRetryMs);
    }
  }

  bool Begin(bool write, DbError* error) override {
    return Execute(write ? "BEGIN IMMEDIATE" : "BEGIN", {}, nullptr, error);
  }
  bool Commit(DbError* error) override {
    return Execute("COMMIT", {}, nullptr, error);
  }
  void Rollback() override {
    if (!sqlite3_get_autocommit(db_))
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  bool Reconnect(DbError*) override {
    // A file is never disconnected.
    Rollback();
    return true;
  }
  // One writer holds the whole database: no row is locked, no turn taken.
  std::string RowLock(bool) const override { return ""; }
  std::string TakeTurn(TurnLock) const override { return ""; }
  std::string CounterKey() const override { return "INTEGER PRIMARY KEY AUTOINCREMENT"; }
  std::string RealType() const override { return "REAL"; }
  std::string TableExists(const std::string& table) const override {
    return "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = '" + table + "'";
  }
  std::string Eui64Text(const std::string& column) const override {
    // The key is the number with its top bit flipped.
    const std::string hex = "printf('%016X', (" + column + " | (1 << 63)) - (" + column + " & (1 << 63)))";
    std::string out;
    for (int i = 0; i < 8; ++i)
      out += (i ? " || '-' || " : "") + std::string("substr(") + hex + ", " + std::to_string(2 * i + 1) + ", 2)";
    return out;
  }
  bool AltersInPlace() const override { return false; }

 private:
  /// Waits for another writer in short steps until the deadline: SQLite's
  /// own handler sleeps longer and longer, and a station would sleep on
  /// while the database is free again.
  static int WaitWhileBusy(void* self, int) {
    if (Clock::now() >= static_cast<SqliteDatabase*>(self)->deadline_) return 0;
    sqlite3_sleep(1);
    return 1;
  }

  bool Attempt(const std::string& sql, const std::vector<SqlValue>& params,
               std::vector<SqlRow>* rows, DbError* error) {
    sqlite3_stmt* statement = Prepared(sql);
    if (!statement) return Fail(error);
    for (size_t i = 0; i < params.size(); ++i) {
      const SqlValue& p = params[i];
      const int at = static_cast<int>(i + 1);
      switch (p.type) {
        case SqlValue::Type::kNull:
          sqlite3_bind_null(statement, at);
          break;
        case SqlValue::Type::kInt:
          sqlite3_bind_int64(statement, at, p.integer);
          break;
        case SqlValue::Type::kReal:
          sqlite3_bind_double(statement, at, p.real);
          break;
        case SqlValue::Type::kText:
          sqlite3_bind_text(statement, at, p.text.c_str(),
                            static_cast<int>(p.text.size()), SQLITE_TRANSIENT);
          break;
      }
    }
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
      if (!rows) continue;
      SqlRow row;
      for (int c = 0; c < sqlite3_column_count(statement); ++c) {
        const unsigned char* text = sqlite3_column_text(statement, c);
        if (text)
          row.emplace_back(std::string(reinterpret_cast<const char*>(text)));
        else
          row.emplace_back(std::nullopt);
      }
      rows->push_back(std::move(row));
    }
    const bool done = step == SQLITE_DONE || Fail(error);
    // Reset, the statement holds no lock until it runs again.
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return done;
  }

  /// The statement of sql, compiled once: a reservation's statements
  /// come again and again, and compiling them costs as much as running
  /// them.  Statements made for one call (their SQL lists so many
  /// values) are as many as a run makes, so the store is emptied when
  /// full.
  sqlite3_stmt* Prepared(const std::string& sql) {
    auto found = prepared_.find(sql);
    if (found != prepared_.end()) return found->second;
    if (prepared_.size() >= kPreparedAtMost) Forget();
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK)
      return nullptr;
    prepared_[sql] = statement;
    return statement;
  }

  void Forget() {
    for (auto& p : prepared_) sqlite3_finalize(p.second);
    prepared_.clear();
  }

  bool Fail(DbError* error) {
    const int code = failed_code_ = sqlite3_extended_errcode(db_);
    error->message = std::string(sqlite3_errmsg(db_)) + ", SQLite error " + std::to_string(code);
    error->sqlstate = SqlState(code);
    return false;
  }

  sqlite3* db_;
  Clock::time_point deadline_;
  const std::chrono::milliseconds busy_wait_;  ///< A transaction's wait for writers, in all.
  int failed_code_ = SQLITE_OK;                ///< The extended code of the last failure.
  std::unordered_map<std::string, sqlite3_stmt*> prepared_;
};

}  // namespace

std::unique_ptr<Database> OpenSqlite(const std::string& path, std::string* error,
                                     std::chrono::milliseconds busy_wait) {
  // RETURNING came with 3.35.
  if (sqlite3_libversion_number() < 3035000) {
    *error = std::string("the SQLite library is version ") + sqlite3_libversion() +
             ": vxrom needs 3.35 or later";
    return nullptr;
  }
  std::error_code ignored;
  const std::filesystem::path file =
      std::filesystem::u8path(path);
  if (file.has_parent_path())
    std::filesystem::create_directories(file.parent_path(), ignored);
  sqlite3* db = nullptr;
  int status = sqlite3_open_v2(path.c_str(), &db,
                               SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                               nullptr);
  if (status != SQLITE_OK) {
    *error = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    return nullptr;
  }
  std::unique_ptr<Database> opened(new SqliteDatabase(db, busy_wait));
  // A record of a programmed board must survive a power cut: FULL.
  DbError failed;
  if (!opened->Execute("PRAGMA journal_mode=WAL", {}, nullptr, &failed) ||
      !opened->Execute("PRAGMA synchronous=FULL", {}, nullptr, &failed)) {
    *error = failed.Text();
    return nullptr;
  }
  return opened;
}

}  // namespace store
