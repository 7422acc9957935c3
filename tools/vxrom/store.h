// The pool of EUI-64s and the history of every board attempt, kept in a
// database that all of a line's stations may share.  Numbers are held as
// ranges (a block of 2^24 is one row); a number taken from the pool is a
// row of its own from then on: reserved by one run, then programmed,
// back to free, or spoiled for ever.
#ifndef VXROM_STORE_H_
#define VXROM_STORE_H_

#include <stdint.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/controller_library.h"
#include "vxrom/db.h"
#include "vxrom/record.h"

/// How a store call ended.
enum class StoreStatus {
  kOk,
  kUnavailable,  ///< Unreachable, locked past the timeout, or unreadable.
  kRefused,      ///< The request breaks a rule; *reason says which.
  kTooSmall,     ///< The pool cannot cover the request.
};

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
  uint64_t pid = 0;
  uint64_t pid_start = 0;  ///< 0 when the run did not note it.
  std::string address;
  std::optional<std::string> serial;
  std::string reserved_at;
};

/// A board a run reserves a number for.
struct BoardClaim {
  std::string address;
  std::optional<std::string> serial;
};

/// What history is asked for; empty fields select everything.
struct HistoryFilter {
  std::optional<std::string> eui64;
  std::optional<std::string> serial;
  std::optional<std::string> address;
  std::optional<std::string> station;
  std::optional<std::string> since;
};

/// The time now, UTC, as ISO 8601 ("2024-05-01T12:00:00Z").
std::string UtcTimestamp();

/// Reads "XX-XX-XX-XX-XX-XX-XX-XX" (either case).  @return false when
/// text is not one.
bool ParseEui64(const std::string& text, uint64_t* value);
/// The display form of value.
std::string FormatEui64Value(uint64_t value);

/// The pool and the history over one database.
class Store {
 public:
  /// Opens url ("sqlite:PATH" or "odbc:CONNECTION") and brings its schema
  /// to this version.  @return null with *reason (credentials masked).
  static std::unique_ptr<Store> Open(const std::string& url,
                                     std::string* reason);

  /// Adds the ranges [first, last] at once, or nothing: refused when one
  /// overlaps the pool or another.
  StoreStatus AddRanges(const std::vector<std::pair<uint64_t, uint64_t>>& ranges,
                        std::string* reason);
  /// The counts of every state.
  StoreStatus Counts(PoolCounts* counts, std::string* reason);
  /// Reserves one number per board in one transaction, all or none.
  StoreStatus Reserve(const RunIdentity& run,
                      const std::vector<BoardClaim>& boards,
                      std::vector<uint64_t>* numbers, std::string* reason);
  /// Settles one board attempt: its number's new state and its record,
  /// in one transaction; an entry_id the store has already taken changes
  /// nothing.  Only the settling run's own reservation changes state (one
  /// spoiled meanwhile stays spoiled), unless any_holder.
  StoreStatus Settle(const Settlement& settlement, std::string* reason);
  /// The numbers that station on host holds reserved, oldest first.
  StoreStatus Reservations(const std::string& station, const std::string& host,
                           std::vector<Reservation>* reservations, std::string* reason);
  /// The store's own id: the same store whatever URL reaches it.
  const std::string& store_id() const { return store_id_; }
  /// True in *found when serial was programmed (result 0) before.
  StoreStatus SerialProgrammed(const std::string& serial, bool* found,
                               std::string* reason);
  /// The attempts that filter selects, oldest first.
  StoreStatus History(const HistoryFilter& filter,
                      std::vector<HistoryRecord>* records,
                      std::string* reason);

 private:
  explicit Store(std::unique_ptr<Database> db) : db_(std::move(db)) {}
  StoreStatus Migrate(std::string* reason);
  /// Takes count numbers from the first range with room for all, into
  /// *keys (left empty when none has room).
  bool TakeFromOneRange(size_t count, std::vector<int64_t>* keys,
                        std::string* error);
  /// Begin, and on a server the lock that orders writers.
  bool BeginWrite(std::string* error);
  /// Rolls back and says why.
  StoreStatus Abandon(const std::string& error, std::string* reason);
  bool InsertHistory(const HistoryRecord& record, const std::string& run_id,
                     const std::string& entry_id, std::string* error);

  std::unique_ptr<Database> db_;
  std::string store_id_;
};

#endif  // VXROM_STORE_H_
