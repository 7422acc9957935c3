// One board of provision, in a process of its own: the maker's library
// may keep global state, and a board that crashes or hangs its process
// takes no other board with it.  The worker tells its parent what happens
// as JSON lines on standard output; its reasons go, as ever, to standard
// error, which the parent reads through the same pipe.
#ifndef VXROM_WORKER_H_
#define VXROM_WORKER_H_

#include "vxrom/command_line.h"

/// Builds the image with the board's own EUI-64, erases, writes and
/// verifies the one controller at options.address.  @return the board's
/// exit code (vxsrom's codes).
int WorkerCommand(const VxromOptions& options);

#endif  // VXROM_WORKER_H_
