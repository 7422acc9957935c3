// The store's one way into its database: every operation is a
// transaction body that Store::Transact runs, commits, rolls back, and
// runs again when the database says another attempt may succeed.
#include <algorithm>
#include <thread>

#include "store/schema.h"
#include "store/store.h"

using namespace line;

namespace store {

namespace {

using Clock = std::chrono::steady_clock;

/// The advisory lock that orders a server's writers "in turn".

/// Rolls back the transaction on every way out but a commit.
class RollbackGuard {
 public:
  explicit RollbackGuard(Database& db) : db_(&db) {}
  ~RollbackGuard() {
    if (db_) db_->Rollback();
  }
  RollbackGuard(const RollbackGuard&) = delete;
  RollbackGuard& operator=(const RollbackGuard&) = delete;
  /// The transaction is committed: nothing to undo.
  void Committed() { db_ = nullptr; }

 private:
  Database* db_;
};

}  // namespace

bool Transaction::Execute(const std::string& sql,
                          const std::vector<SqlValue>& params,
                          std::vector<SqlRow>* rows) {
  if (rows) rows->clear();
  if (db_.Execute(sql, params, rows, &error_)) return true;
  failed_ = true;
  return false;
}

bool Transaction::Begin(Access access) {
  if (!db_.Begin(access != Access::kRead, &error_)) {
    failed_ = true;
    return false;
  }
  return access != Access::kWriteInTurn || TakeTurn(TurnLock::kWriters);
}

bool Transaction::Commit() {
  committing_ = true;
  if (db_.Commit(&error_)) return true;
  failed_ = true;
  return false;
}

std::unique_ptr<Store> Store::Open(std::unique_ptr<Database> db,
                                   const RetryPolicy& policy,
                                   std::string* reason) {
  std::unique_ptr<Store> store(new Store(std::move(db), policy));
  if (store->Migrate(reason) != StoreStatus::kOk) return nullptr;
  return store;
}

StoreStatus Store::Attempt(Access access, const TransactionBody& body,
                           Transaction& tx, std::string* reason) {
  RollbackGuard guard(*db_);
  if (!tx.Begin(access)) return tx.Failed();
  const StoreStatus status = body(tx, reason);
  if (status != StoreStatus::kOk) return status;
  if (!tx.Commit()) return tx.Failed();
  guard.Committed();
  return StoreStatus::kOk;
}

StoreStatus Store::Transact(Access access, const TransactionBody& body,
                            std::string* reason) {
  const Clock::time_point start = Clock::now();
  std::chrono::milliseconds pause = policy_.first;
  bool commit_unknown = false, reconnect = false;
  for (int attempt = 1;; ++attempt) {
    Transaction tx(*db_, commit_unknown);
    StoreStatus status = StoreStatus::kUnavailable;
    if (reconnect && !db_->Reconnect(&tx.error_))
      tx.failed_ = true;
    else
      status = Attempt(access, body, tx, reason);
    reconnect = false;
    if (status == StoreStatus::kOk || !tx.failed()) return status;
    const DbError& error = tx.error();
    last_error_ = error;
    // A commit whose answer was lost may have happened: every later
    // attempt is told, so that it takes nothing twice.
    if (tx.committing_ && error.ConnectionLost()) commit_unknown = true;
    if (!error.Retryable() || Clock::now() - start + pause > policy_.budget) {
      *reason = MaskCredentials(error.Text());
      if (attempt > 1) *reason += ", after " + std::to_string(attempt) + " attempts";
      return StoreStatus::kUnavailable;
    }
    reconnect = error.ConnectionLost();
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, policy_.longest);
  }
}

StoreStatus Store::Migrate(std::string* reason) {
  int64_t version = 0;
  std::string id;
  const TransactionBody read = [&](Transaction& tx, std::string*) {
    return ReadSchemaVersion(tx, &version, &id) ? StoreStatus::kOk : tx.Failed();
  };
  StoreStatus status = Transact(Access::kRead, read, reason);
  if (status == StoreStatus::kOk && version < kSchemaVersion) {
    // Only now the writers' lock, and the version read again under it:
    // another station may have migrated meanwhile.
    status = Transact(
        Access::kWriteInTurn, [&](Transaction& tx, std::string* why) {
          if (read(tx, why) != StoreStatus::kOk) return tx.Failed();
          if (version >= kSchemaVersion) return StoreStatus::kOk;
          return MigrateSchema(tx, version) && read(tx, why) == StoreStatus::kOk ? StoreStatus::kOk : tx.Failed();
        },
        reason);
    if (status != StoreStatus::kOk && last_error_.sqlstate == "42501")
      *reason += ": its schema is version " + std::to_string(version) + ", this vxrom's is " +
                 std::to_string(kSchemaVersion) +
                 ": run vxrom once as a database user that may create and alter the tables";
  }
  if (status != StoreStatus::kOk) return status;
  if (version > kSchemaVersion) {
    *reason = "its schema is version " + std::to_string(version) +
              ", newer than this vxrom knows (" + std::to_string(kSchemaVersion) +
              "): update vxrom";
    return StoreStatus::kUnavailable;
  }
  store_id_ = id;
  return StoreStatus::kOk;
}

StoreStatus Store::Read(const std::string& sql, const std::vector<SqlValue>& params,
                        std::vector<SqlRow>* rows, std::string* reason) {
  return Transact(
      Access::kRead,
      [&](Transaction& tx, std::string*) { return tx.Execute(sql, params, rows) ? StoreStatus::kOk : tx.Failed(); },
      reason);
}

}  // namespace store
