// SQLite: the file every run on one PC shares.  WAL lets readers go on
// while one run writes, the busy timeout makes a second writer wait
// instead of fail, and BEGIN IMMEDIATE takes the write lock at the start
// of a transaction, so two reservations can never interleave.
#include <sqlite3.h>

#include <filesystem>

#include "vxrom/db.h"

namespace {

/// How long a writer waits for another one, in milliseconds.
const int kBusyTimeoutMs = 5000;
/// Pause between two attempts at a busy database, in milliseconds.
const int kRetryMs = 10;

/// Waits for another writer in short steps: SQLite's own handler sleeps
/// longer and longer, and a station would sleep on while the database is
/// free again.  Gives up after about kBusyTimeoutMs.
int WaitWhileBusy(void*, int attempts) {
  if (attempts >= kBusyTimeoutMs) return 0;
  sqlite3_sleep(1);
  return 1;
}

class SqliteDatabase : public Database {
 public:
  explicit SqliteDatabase(sqlite3* db) : db_(db) {}
  ~SqliteDatabase() override { sqlite3_close(db_); }

  bool Execute(const std::string& sql, const std::vector<SqlValue>& params,
               std::vector<SqlRow>* rows, std::string* error) override {
    // Outside a transaction a busy database is waited for here too: a
    // connection that opens while another closes (and checkpoints) can be
    // refused at once, without the busy handler.
    for (int waited = 0;; waited += kRetryMs) {
      const bool outside = sqlite3_get_autocommit(db_) != 0;
      if (Attempt(sql, params, rows, error)) return true;
      if (!outside || sqlite3_errcode(db_) != SQLITE_BUSY || waited >= kBusyTimeoutMs) return false;
      if (rows) rows->clear();
      sqlite3_sleep(kRetryMs);
    }
  }

  bool Attempt(const std::string& sql, const std::vector<SqlValue>& params,
               std::vector<SqlRow>* rows, std::string* error) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) !=
        SQLITE_OK)
      return Fail(error);
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
    sqlite3_finalize(statement);
    return step == SQLITE_DONE || Fail(error);
  }

  bool Begin(std::string* error) override {
    return Execute("BEGIN IMMEDIATE", {}, nullptr, error);
  }
  bool Commit(std::string* error) override {
    return Execute("COMMIT", {}, nullptr, error);
  }
  void Rollback() override {
    if (!sqlite3_get_autocommit(db_))
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  SqlDialect dialect() const override { return SqlDialect::kSqlite; }

 private:
  bool Fail(std::string* error) {
    *error = std::string(sqlite3_errmsg(db_)) + " (SQLite error " +
             std::to_string(sqlite3_extended_errcode(db_)) + ")";
    return false;
  }

  sqlite3* db_;
};

}  // namespace

std::unique_ptr<Database> OpenSqlite(const std::string& path,
                                     std::string* error) {
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
  sqlite3_busy_handler(db, WaitWhileBusy, nullptr);
  std::unique_ptr<Database> opened(new SqliteDatabase(db));
  // A record of a programmed board must survive a power cut: FULL.
  if (!opened->Execute("PRAGMA journal_mode=WAL", {}, nullptr, error) ||
      !opened->Execute("PRAGMA synchronous=FULL", {}, nullptr, error))
    return nullptr;
  return opened;
}
