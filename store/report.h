// The line's figures over a window of history, as the database adds
// them up: a report reads a few hundred rows however long the history,
// and never the records themselves (ten failures aside).
#ifndef VXROM_STORE_REPORT_H_
#define VXROM_STORE_REPORT_H_

#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "store/store.h"

namespace store {

/// The attempts a report covers; empty fields select all.
struct ReportWindow {
  std::optional<std::string> since;  ///< UTC: started at or after.
  std::optional<std::string> until;  ///< UTC: started at or before (before, when exclusive).
  bool until_exclusive = false;
  std::optional<std::string> station;
  std::optional<std::string> job;  ///< "NAME" (any version) or "NAME@VERSION".
};

/// The boards whose first attempt in the window was at one station in
/// one hour.  A board is its serial, without regard to case; an attempt
/// without a serial is a board of its own.
struct BoardCell {
  std::string station;
  std::string hour;  ///< UTC, "2024-05-01T08".
  uint64_t boards = 0;
  uint64_t first_pass = 0;   ///< Passed at their first attempt.
  uint64_t final_pass = 0;   ///< Passed at their latest attempt.
  uint64_t reworked = 0;     ///< Attempted more than once.
  uint64_t second_pass = 0;  ///< Failed, then passed at the second attempt.
};

/// The attempts of one station in one hour.
struct AttemptCell {
  std::string station;
  std::string hour;  ///< UTC, "2024-05-01T08".
  uint64_t attempts = 0;
  uint64_t passed = 0;
};

/// Failed attempts of one station with one exit code and one reason,
/// the reason's digits counted as one ('#' for any number).
struct FailureGroup {
  std::string station;
  int64_t result = 0;
  std::optional<std::string> reason;  ///< Normalised; none when the record has none.
  uint64_t count = 0;
};

/// One failed attempt, as the report lists the latest.
struct FailureRecord {
  std::string started, station, address;
  std::optional<std::string> serial, eui64, reason;
  int64_t result = 0;
};

/// The numbers that left the pool for good (programmed or spoiled) among
/// those reserved on one day.
struct PoolDay {
  std::string day;  ///< UTC, "2024-05-01".
  uint64_t used = 0;
};

/// What a report reads, in one transaction.
struct ReportData {
  std::vector<BoardCell> boards;
  std::vector<AttemptCell> attempts;
  std::vector<FailureGroup> failures;  ///< The largest groups, most first.
  bool failures_cut = false;           ///< More groups than kFailureGroups.
  std::vector<FailureRecord> latest;   ///< The latest failures, latest first.
  PoolCounts pool;
  std::vector<PoolDay> pool_days;     ///< In the window only: the pool is the line's.
  std::optional<uint64_t> low_water;  ///< The pool's watermark, when one is set.
};

/// Failure groups read at most; the rest are counted as others.
extern const size_t kFailureGroups;
/// Failures listed one by one.
extern const size_t kLatestFailures;

/// Reads the window's figures.  @return the store's status, with *reason.
StoreStatus ReadReport(Store& store, const ReportWindow& window, ReportData* data,
                       std::string* reason);

}  // namespace store

#endif  // VXROM_STORE_REPORT_H_
