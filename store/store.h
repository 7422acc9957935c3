// The pool of EUI-64s and the history of every board attempt, kept in a
// database that all of a line's stations may share.  Numbers are held as
// ranges (a block of 2^24 is one row); a number taken from the pool is a
// row of its own from then on: reserved by one run, then programmed,
// back to free, or spoiled for ever.
#ifndef VXROM_STORE_H_
#define VXROM_STORE_H_

#include <stdint.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/controller_library.h"
#include "line/eui64.h"
#include "line/record.h"
#include "store/db.h"

namespace store {

/// How a store call ended.
enum class StoreStatus {
  kOk,
  kUnavailable,  ///< Unreachable, locked past the timeout, or unreadable.
  kRefused,      ///< The request breaks a rule; *reason says which.
  kTooSmall,     ///< The pool cannot cover the request.
  kSerialTaken,  ///< A serial is programmed already, or being programmed.
};

/// How a transaction takes its locks.
enum class Access {
  kRead,         ///< Reads only: never waits for a writer.
  kWrite,        ///< Writes; on a server, row locks order it with others.
  kWriteInTurn,  ///< Writes, on a server after every other such writer.
};

/// How long the store goes on when the database says trying again may
/// succeed: pauses from first doubling up to longest, while the time
/// since the first failure stays within budget.
struct RetryPolicy {
  std::chrono::milliseconds first{50};
  std::chrono::milliseconds longest{2000};
  std::chrono::milliseconds budget{10000};
};

/// One attempt at a transaction, as the body of Store::Transact sees it.
class Transaction {
 public:
  Transaction(Database& db, bool commit_unknown)
      : db_(db), commit_unknown_(commit_unknown) {}
  /// Runs one statement; a failure is kept for the runner.
  bool Execute(const std::string& sql, const std::vector<SqlValue>& params = {},
               std::vector<SqlRow>* rows = nullptr);
  /// The SQL the database speaks where databases differ.
  const Database& sql() const { return db_; }
  /// Runs the statement that takes lock until the commit, if the
  /// database needs one.
  bool TakeTurn(TurnLock lock) {
    const std::string statement = db_.TakeTurn(lock);
    return statement.empty() || Execute(statement);
  }
  /// True when an earlier attempt lost its connection while committing:
  /// its changes may or may not be in the database.
  bool commit_unknown() const { return commit_unknown_; }
  /// The status a body returns after a failed statement.
  StoreStatus Failed() const { return StoreStatus::kUnavailable; }
  /// True after a failed statement, begin or commit.
  bool failed() const { return failed_; }
  /// The failure.
  const DbError& error() const { return error_; }

 private:
  friend class Store;
  bool Begin(Access access);
  bool Commit();

  Database& db_;
  const bool commit_unknown_;
  bool failed_ = false;
  bool committing_ = false;
  DbError error_;
};

/// A transaction's body: kOk commits it; any other status rolls it back,
/// with *reason said unless a statement failed.
typedef std::function<StoreStatus(Transaction& tx, std::string* reason)> TransactionBody;

/// The counts of pool status.
struct PoolCounts {
  uint64_t free = 0;
  uint64_t reserved = 0;
  uint64_t programmed = 0;
  uint64_t spoiled = 0;
  std::optional<uint64_t> next;  ///< The next number a run would get.
};

/// Who reserves: one run of provision.
struct RunIdentity {
  std::string run_id;
  std::string station;
  std::string host;
  uint64_t pid = 0;
  uint64_t pid_start = 0;  ///< When the process started: ids are reused.
};

/// A number reserved and not yet settled, and the run that holds it.
struct Reservation {
  uint64_t number = 0;
  std::string run_id;
  std::string station;
  std::string host;
  uint64_t pid = 0;
  uint64_t pid_start = 0;  ///< 0 when the run did not note it.
  std::string address;
  std::optional<std::string> serial;
  std::string reserved_at;
};

/// Whose reservations are asked for; empty fields select all.
struct ReservationQuery {
  std::optional<std::string> run_id;
  std::optional<std::string> station;
  std::optional<std::string> host;
};

/// Consecutive numbers in one state; reserved ones also of one run.
struct PoolSpan {
  uint64_t first = 0;
  uint64_t last = 0;
  std::string state;
  std::string station, host, run_id;  ///< Of reserved numbers.
};

/// A board a run reserves a number for (its address unique in the run).
struct BoardClaim {
  std::string address;
  std::optional<std::string> serial;
  bool rework = false;  ///< Its serial may be programmed already.
};

/// What history is asked for; empty fields select everything.
struct HistoryFilter {
  std::optional<std::string> eui64;
  std::optional<std::string> serial;  ///< Compared without regard to case.
  std::optional<std::string> address;
  std::optional<std::string> station;
  std::optional<std::string> since;  ///< UTC, as history keeps it: started at or after.
  std::optional<std::string> until;  ///< UTC: started at or before (before, when exclusive).
  bool until_exclusive = false;
  std::optional<bool> ok;  ///< Only the attempts that passed, or only those that failed.
  std::optional<std::string> run_id;
};

/// A history record as the history command shows it: with the run that
/// made it and what has become of its number since.
struct HistoryRow {
  line::HistoryRecord record;
  std::string run_id;
  std::optional<std::string> eui_state;  ///< The number's state now; none without one.
};

/// False with *why when url names a database that keeps nothing once
/// the command ends: "sqlite:" without a path, or in memory.  The store
/// itself opens those (tests do).
bool DatabaseUrlKeeps(const std::string& url, std::string* why);

/// The pool and the history over one database.
class Store {
 public:
  /// Opens url ("sqlite:PATH" or "odbc:CONNECTION") and brings its schema
  /// to this version.  @return null with *reason (credentials masked).
  static std::unique_ptr<Store> Open(const std::string& url,
                                     std::string* reason);
  /// The store over an open database, retrying as policy says.
  static std::unique_ptr<Store> Open(std::unique_ptr<Database> db,
                                     const RetryPolicy& policy,
                                     std::string* reason);

  /// Runs body in a transaction: committed when it returns kOk, rolled
  /// back on every other way out.  When the database says trying again
  /// may succeed (a lost connection, made anew; a serialization failure;
  /// a deadlock) the whole body runs again after a pause, within the
  /// retry policy.  @return body's status, or kUnavailable with *reason.
  StoreStatus Transact(Access access, const TransactionBody& body,
                       std::string* reason);

  /// Runs one reading statement in a transaction of its own (retried as
  /// Transact retries).  @return kOk with *rows, or kUnavailable.
  StoreStatus Read(const std::string& sql, const std::vector<SqlValue>& params,
                   std::vector<SqlRow>* rows, std::string* reason);

  /// The store's own random identity (32 hexadecimal digits), made when
  /// its schema was.
  const std::string& store_id() const { return store_id_; }
  /// The database's failure that the last operation to fail gave up on.
  const DbError& last_error() const { return last_error_; }

  /// Adds the ranges [first, last] at once, or nothing: refused when one
  /// overlaps the pool or another.
  /// Refused too when one holds a number retired from the pool.  The
  /// change is kept in the pool's log as action ("pool add", ...).
  StoreStatus AddRanges(const std::vector<std::pair<uint64_t, uint64_t>>& ranges,
                        const std::string& action, std::string* reason);
  /// Takes the numbers first to last out of use for good, all free ones
  /// of the pool, or nothing (kRefused, *reason naming one that is not).
  StoreStatus Retire(uint64_t first, uint64_t last, uint64_t* count, std::string* reason);
  /// The counts of every state.
  StoreStatus Counts(PoolCounts* counts, std::string* reason);
  /// Reserves one number per board in one transaction, all or none; a
  /// run reserves once (after a commit whose answer was lost, the run's
  /// rows reserved by this call are its boards').  Without rework,
  /// refused (kSerialTaken) when a board's serial is programmed already
  /// or reserved by another run, in the same transaction, so that two
  /// stations never both take one serial.
  StoreStatus Reserve(const RunIdentity& run,
                      const std::vector<BoardClaim>& boards, bool rework,
                      std::vector<uint64_t>* numbers, std::string* reason);
  /// Settles one board attempt: its number's new state and its record,
  /// in one transaction; an entry_id the store has already taken changes
  /// nothing.  Only the settling run's own reservation changes state (one
  /// spoiled meanwhile stays spoiled), unless any_holder.
  StoreStatus Settle(const line::Settlement& settlement, std::string* reason);
  /// The numbers reserved and not settled, oldest first: of one run,
  /// or of a station on a host, as given.
  StoreStatus Reservations(const ReservationQuery& query, std::vector<Reservation>* reservations,
                           std::string* reason);
  /// The pool's numbers in spans of one state (the reserved ones also of
  /// one run), in order; only those of state when given.
  StoreStatus Spans(const std::optional<std::string>& state, std::vector<PoolSpan>* spans,
                    std::string* reason);
  /// The latest attempt that programmed number, while it is programmed;
  /// none in *record otherwise.
  StoreStatus ProgrammedNumber(uint64_t number, std::optional<line::HistoryRecord>* record,
                               std::string* reason);
  /// The latest attempt that programmed serial (compared without regard
  /// to case), while its number is programmed; none otherwise.
  StoreStatus ProgrammedSerial(const std::string& serial, std::optional<line::HistoryRecord>* record,
                               std::string* reason);
  /// The attempts that filter selects, oldest first.
  StoreStatus History(const HistoryFilter& filter, std::vector<HistoryRow>* rows,
                      std::string* reason);
  /// The attempts that filter selects, oldest first, records alone.
  StoreStatus History(const HistoryFilter& filter, std::vector<line::HistoryRecord>* records,
                      std::string* reason);
  /// The state of number now: "free", "reserved", "programmed" or
  /// "spoiled"; none when it is not in the pool at all.
  StoreStatus NumberState(uint64_t number, std::optional<std::string>* state, std::string* reason);

 private:
  Store(std::unique_ptr<Database> db, const RetryPolicy& policy)
      : db_(std::move(db)), policy_(policy) {}
  /// Brings the schema to this version: read first, and only when it is
  /// missing or older, migrated with the writers' lock.
  StoreStatus Migrate(std::string* reason);
  /// The latest attempt, still programmed, of the history rows that
  /// join_where (a join of vxrom_eui e and a condition on h) selects
  /// with value.
  StoreStatus LatestProgrammed(const std::string& join_where, const SqlValue& value,
                               std::optional<line::HistoryRecord>* record, std::string* reason);
  /// One attempt of Transact.
  StoreStatus Attempt(Access access, const TransactionBody& body,
                      Transaction& tx, std::string* reason);

  std::unique_ptr<Database> db_;
  const RetryPolicy policy_;
  std::string store_id_;
  DbError last_error_;  ///< The last failure Transact gave up on.
};

}  // namespace store

#endif  // VXROM_STORE_H_
