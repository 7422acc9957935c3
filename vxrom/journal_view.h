// vxrom journal: what this station keeps that its store does not have
// yet (the store was away), or refused.
#ifndef VXROM_JOURNAL_VIEW_H_
#define VXROM_JOURNAL_VIEW_H_

#include "device/exit_codes.h"
#include "vxrom/options.h"

/// Lists the station journal's entries not on their store.  @return the exit code.
device::ExitCode JournalCommand(const CommonOptions& common);

#endif  // VXROM_JOURNAL_VIEW_H_
