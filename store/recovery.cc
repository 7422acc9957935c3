#include "store/recovery.h"

#include <map>

#include "device/exit_codes.h"

using namespace device;
using namespace line;

namespace store {

bool RunAlive(Journal* journal, const std::string& run_id, const Reservation& first,
              const std::function<bool(const RunProcess&)>& alive) {
  std::vector<RunProcess> processes = {{first.pid, first.pid_start}};
  std::string why;
  // A journal that cannot say leaves the run alive: spoiling a board a
  // worker still writes would be worse than waiting for the next start.
  if (journal && !journal->Processes(run_id, &processes, &why)) return true;
  for (const RunProcess& p : processes)
    if (alive(p)) return true;
  return false;
}

Settlement SpoiledReservation(const Reservation& r, const std::string& why) {
  Settlement s;
  s.entry_id = "recovered-" + r.run_id + "-" + FormatEui64Value(r.number);
  s.run_id = r.run_id;
  s.number = r.number;
  s.outcome = Outcome::kSpoiled;
  HistoryRecord record;
  record.started = r.reserved_at.empty() ? UtcTimestamp() : r.reserved_at;
  record.finished = UtcTimestamp();
  record.station = r.station;
  record.host = r.host;
  record.serial = r.serial;
  record.address = r.address;
  record.eui64 = FormatEui64Value(r.number);
  record.result = kExitFailed;
  record.reason = why;
  record.version = VXROM_VERSION;
  s.record = record;
  return s;
}

StoreStatus RecoverDeadRuns(Store& store, Journal& journal, const StoreName& name,
                            const RunIdentity& run,
                            const std::function<bool(const RunProcess&)>& alive,
                            RecoveryTally* tally, std::string* reason) {
  std::vector<Reservation> reservations;
  StoreStatus status = store.Reservations({std::nullopt, run.station, run.host}, &reservations, reason);
  if (status != StoreStatus::kOk) return status;
  std::map<std::string, std::vector<Reservation>> runs;
  for (const Reservation& r : reservations)
    if (r.run_id != run.run_id) runs[r.run_id].push_back(r);
  for (const auto& dead : runs) {
    if (RunAlive(&journal, dead.first, dead.second[0], alive)) continue;
    for (const Reservation& r : dead.second) {
      // Looked up only now that the run is known dead: a worker settles
      // its board before it ends.
      std::optional<JournalEntry> kept;
      if (!journal.Find(r.run_id, r.number, &kept, reason)) return StoreStatus::kUnavailable;
      const bool known = kept && kept->state == "waiting";
      const Settlement s =
          known ? kept->settlement
                : SpoiledReservation(r, "the run that reserved it (process " + std::to_string(r.pid) +
                                            " on " + r.host +
                                            ") ended before the board's result "
                                            "was recorded: the board may carry it, so it is spoiled");
      if (!known && !journal.Keep(s, name, reason)) return StoreStatus::kUnavailable;
      if ((status = store.Settle(s, reason)) != StoreStatus::kOk) return status;
      journal.MarkSent(s.entry_id, reason);
      ++(known ? tally->from_journal : tally->spoiled);
    }
  }
  return StoreStatus::kOk;
}

}  // namespace store
