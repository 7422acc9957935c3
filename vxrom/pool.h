// vxrom pool add, import and status: the EUI-64s provision hands out.
#ifndef VXROM_POOL_H_
#define VXROM_POOL_H_

#include <memory>

#include "device/exit_codes.h"
#include "store/store.h"
#include "vxrom/options.h"
#include "vxrom/store_access.h"

/// Runs command, one of pool's subcommands.  @return the exit code.
device::ExitCode PoolCommand(Command command, const CommonOptions& common, const PoolOptions& options);

#endif  // VXROM_POOL_H_
