// vxrom history: one record per board attempt, as text, JSON or CSV.
#ifndef VXROM_HISTORY_H_
#define VXROM_HISTORY_H_

#include "device/exit_codes.h"
#include "vxrom/options.h"

/// Writes the records the options select.  @return the exit code.
device::ExitCode HistoryCommand(const CommonOptions& common, const HistoryOptions& options);

/// history verify: walks the chain; says where it breaks (-27).
device::ExitCode HistoryVerifyCommand(const CommonOptions& common);

#endif  // VXROM_HISTORY_H_
