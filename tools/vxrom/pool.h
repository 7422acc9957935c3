// vxrom pool add, import and status: the EUI-64s provision hands out.
#ifndef VXROM_POOL_H_
#define VXROM_POOL_H_

#include <memory>

#include "vxrom/command_line.h"
#include "vxrom/store.h"

/// The store the options name (--db, VXROM_DB, the state folder's file);
/// says why not.  @return null when unavailable.
std::unique_ptr<Store> OpenOptionsStore(const VxromOptions& options);

/// The exit code of a store call that did not succeed, after its reason.
int StoreFailure(StoreStatus status, const std::string& reason);

/// pool add, pool import, pool status.  @return the exit code.
int PoolCommand(const VxromOptions& options);

#endif  // VXROM_POOL_H_
