// How the line's commands reach their store: the URL the options name,
// the store opened, and first of all the station's journal delivered to
// it, so that records an earlier run could not send arrive before
// anything else is read or written.
#ifndef VXROM_STORE_ACCESS_H_
#define VXROM_STORE_ACCESS_H_

#include <stdint.h>

#include <memory>
#include <string>

#include "device/exit_codes.h"
#include "store/journal.h"
#include "store/store.h"
#include "vxrom/options.h"

/// The store's URL: --db, else VXROM_DB, else vxrom.db in the state folder.
std::string StoreUrl(const CommonOptions& common);

/// Opens the store at url; says why not.  @return null when unavailable.
std::unique_ptr<store::Store> OpenStore(const std::string& url);

/// Opens the store the options name, then delivers what the station's
/// journal holds for it.  @return null when unavailable (said).
std::unique_ptr<store::Store> OpenOptionsStore(const CommonOptions& common);

/// Delivers the journal's waiting settlements for store; says how many
/// still wait, and why.
void DeliverAtStart(store::Store& store, store::Journal& journal);

/// How many settlements for store wait in the station's journal.
uint64_t JournalWaiting(const store::Store& store);

/// The watermark in force, given (--low-water) else the pool's own, in
/// *low; warns on standard error when free is below it.
store::StoreStatus Watermark(std::optional<uint64_t> given, store::Store& store, uint64_t free,
                             std::optional<uint64_t>* low, std::string* reason);
/// The exit code of a store call that did not succeed, after its reason.
device::ExitCode StoreFailure(store::StoreStatus status, const std::string& reason);

#endif  // VXROM_STORE_ACCESS_H_
