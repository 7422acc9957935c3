// vxrom provision: every controller the firmware is for, erased, written
// with firmware, configuration and its own EUI-64 from the pool, and
// verified, each in a worker process of its own, several at once; every
// attempt recorded in history.
#ifndef VXROM_PROVISION_H_
#define VXROM_PROVISION_H_

#include "device/exit_codes.h"
#include "vxrom/options.h"

/// Runs a provision.  @return 0 when every chosen board was programmed
/// and verified; else a code of vxrom/exit_codes.h, -4 or -6.
device::ExitCode ProvisionCommand(const CommonOptions& common, const ProvisionOptions& options);

#endif  // VXROM_PROVISION_H_
