// The reservations of a station's runs that ended without settling them
// (a power cut, a killed process): settled from the station's journal
// where it holds the board's outcome, else spoiled, since the board may
// carry the number.  A station is its name and its host: only this
// host's runs are looked at, so two PCs started with one --station never
// settle each other's numbers.
#ifndef VXROM_RECOVERY_H_
#define VXROM_RECOVERY_H_

#include <stdint.h>

#include <functional>
#include <string>

#include "store/journal.h"
#include "store/store.h"

namespace store {

/// How recovery went.
struct RecoveryTally {
  uint64_t from_journal = 0;  ///< Settled as the journal holds them.
  uint64_t spoiled = 0;       ///< Spoiled, no outcome anywhere.
};

/// True while a process of the run is alive: the one that reserved
/// first, or one the journal notes for run_id (its workers).
bool RunAlive(Journal* journal, const std::string& run_id, const Reservation& first,
              const std::function<bool(const RunProcess&)>& alive);

/// The settlement that spoils a reservation whose run will not come
/// back, its record saying why.
line::Settlement SpoiledReservation(const Reservation& reservation, const std::string& why);

/// Settles the reservations of run.station on run.host held by another
/// run whose processes are all gone (alive tells; its parent, and its
/// workers as the journal notes them).
StoreStatus RecoverDeadRuns(Store& store, Journal& journal, const StoreName& name,
                            const RunIdentity& run,
                            const std::function<bool(const RunProcess&)>& alive,
                            RecoveryTally* tally, std::string* reason);

}  // namespace store

#endif  // VXROM_RECOVERY_H_
