// Released jobs: the firmware (and configuration) an engineer released
// for the line, kept in the store byte for byte, so that a station
// programs exactly that and history says which version each board got.
// A release is never changed: a new one is a new version, and an old one
// can be retired.  Pool changes are kept beside them, each with who made
// it and when.
#ifndef VXROM_STORE_JOBS_H_
#define VXROM_STORE_JOBS_H_

#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "line/field_value.h"
#include "store/store.h"

namespace store {

/// One released version of a job.
struct Job {
  std::string name;
  int64_t version = 0;
  bool eui = true;                       ///< Boards get an EUI-64.
  std::optional<int64_t> chip_revision;  ///< What the firmware is for.
  std::string firmware_name;             ///< The file's name as released.
  int64_t firmware_size = 0;
  std::string firmware_sha256;
  std::optional<std::string> config_name;
  std::optional<int64_t> config_size;
  std::optional<std::string> config_sha256;
  std::optional<std::string> note;
  std::string released_by;
  std::string released_at;
  std::string firmware;  ///< The bytes; empty in lists.
  std::string config;    ///< The bytes; empty in lists, or without one.
  bool retired = false;
};

/// "NAME@VERSION".
std::string JobLabel(const Job& job);
/// Splits "NAME" or "NAME@VERSION" (version 0: the latest in use).
/// @return false when the text is neither.
bool ParseJobLabel(const std::string& text, std::string* name, int64_t* version);

/// A job's chained fields (the bytes through their digests).
std::vector<line::FieldValue> JobEntryFields(const Job& job);
/// The columns of a job row, the bytes last.
extern const char kJobColumns[];
/// Reads a job from a row of kJobColumns (bytes included when the row
/// has them).  @return false when a column is unreadable.
bool JobFromRow(const SqlRow& row, Job* job);

/// One change of the pool (or of a job's use), as the pool log lists it.
struct PoolChange {
  int64_t seq = 0;
  std::string at, who, action, subject;
  std::optional<std::string> detail;
};
/// Its chained fields.
std::vector<line::FieldValue> PoolChangeFields(const PoolChange& change);
/// Keeps a change inside tx, chained.  @return false after a failed
/// statement.
bool LogChange(Transaction& tx, PoolChange change);

/// Who makes a change: the operating system's user on this host.
std::string ChangeAuthor();

/// Stores a new version of job->name (job->version set); a job of that
/// name that is the same bytes as its latest version is refused.
StoreStatus ReleaseJob(Store& store, Job* job, std::string* reason);
/// Every version of every job, without bytes, by name and version.
StoreStatus ListJobs(Store& store, std::vector<Job>* jobs, std::string* reason);
/// One version (0: the latest one not retired), with its bytes.
/// kRefused with *reason when there is none.
StoreStatus FindJob(Store& store, const std::string& name, int64_t version, Job* job,
                    std::string* reason);
/// Retires a version: provision refuses it from then on.
StoreStatus RetireJob(Store& store, const std::string& name, int64_t version,
                      std::string* reason);
/// The pool's changes, oldest first.
StoreStatus PoolLog(Store& store, std::vector<PoolChange>* changes, std::string* reason);

/// The pool's watermark: warn when fewer numbers are free.  None unset.
StoreStatus LowWater(Store& store, std::optional<uint64_t>* low, std::string* reason);
/// Sets (or with none, clears) the watermark, as a pool change.
StoreStatus SetLowWater(Store& store, std::optional<uint64_t> low, std::string* reason);

}  // namespace store

#endif  // VXROM_STORE_JOBS_H_
