// The station's journal: every board's settlement (its record and its
// number's new state) is kept here, on the station's own disk and durably,
// before it is sent to the store, and marked sent once the store has
// committed it.  A store that is away (a server down, a network cut, a
// file locked) loses nothing: what waits is delivered at the next start,
// in order, each entry once.  The journal also knows the processes of
// each run, so that a run whose parent died while its workers finish is
// not taken for dead.
#ifndef VXROM_JOURNAL_H_
#define VXROM_JOURNAL_H_

#include <stdint.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "line/record.h"
#include "store/db.h"

namespace store {

/// A store as the journal names it: its id (the same store whatever URL
/// reaches it) and its URL with any password masked, for people.
struct StoreName {
  std::string id;
  std::string url;
};

/// One kept settlement and where it stands.
struct JournalEntry {
  int64_t seq = 0;  ///< The order it was kept in.
  line::Settlement settlement;
  StoreName store;
  std::string created;  ///< UTC, ISO 8601.
  std::string state;    ///< "waiting", "sent" or "refused".
  std::string note;     ///< Why the store refused it.
};

/// A process working for a run, and when it started.
struct RunProcess {
  uint64_t pid = 0;
  uint64_t start = 0;
};

/// The journal file of one station.
class Journal {
 public:
  /// VXROM_JOURNAL, else journal.db in vxrom's state folder.
  static std::string DefaultPath();
  /// Opens the journal at path; made with its folder when missing unless
  /// existing_only (then null, no reason, when there is none).
  /// @return null with *reason when it cannot be opened.
  static std::unique_ptr<Journal> Open(const std::string& path, bool existing_only,
                                       std::string* reason);

  /// Forgets sent entries and the processes of runs a month old.
  bool Tidy(std::string* reason);
  /// Keeps settlement for store durably; an entry_id kept before is kept
  /// once.  @return false with *reason.
  bool Keep(const line::Settlement& settlement, const StoreName& store, std::string* reason);
  /// The entries of store_id that wait to be sent, oldest first; every
  /// store's when store_id is empty.
  bool Waiting(const std::string& store_id, std::vector<JournalEntry>* entries,
               std::string* reason);
  /// How many entries of store_id (of run_id alone, when given) are not
  /// on the store: waiting, or refused.
  bool CountWaiting(const std::string& store_id, const std::string& run_id, uint64_t* count,
                    std::string* reason);
  /// The store has the entry.
  bool MarkSent(const std::string& entry_id, std::string* reason);
  /// The store refused the entry for good: it stays, with why, unsent.
  bool MarkRefused(const std::string& entry_id, const std::string& why,
                   std::string* reason);
  /// The entry kept for run_id's number, sent or not; none in *entry.
  bool Find(const std::string& run_id, uint64_t number,
            std::optional<JournalEntry>* entry, std::string* reason);
  /// Notes that a process works for run_id.
  bool AddProcess(const std::string& run_id, const RunProcess& process,
                  std::string* reason);
  /// The processes noted for run_id.
  bool Processes(const std::string& run_id, std::vector<RunProcess>* processes,
                 std::string* reason);
  /// Where the journal is.
  const std::string& path() const { return path_; }

 private:
  Journal(std::unique_ptr<Database> db, std::string path)
      : db_(std::move(db)), path_(std::move(path)) {}
  bool Entries(const std::string& where, const std::vector<SqlValue>& params,
               std::vector<JournalEntry>* entries, std::string* reason);

  std::unique_ptr<Database> db_;
  std::string path_;
};

}  // namespace store

#endif  // VXROM_JOURNAL_H_
