// One board of provision, in a process of its own: the maker's library
// may keep global state, and a board that crashes or hangs its process
// takes no other board with it.  The worker tells its parent what happens
// (line/worker_protocol.h) and settles its board in the station's
// journal itself, so a board it finishes is recorded even when its parent
// is gone.
#ifndef VXROM_WORKER_H_
#define VXROM_WORKER_H_

#include <string>
#include <vector>

#include "device/exit_codes.h"

/// Builds the image with the board's own EUI-64, erases, writes,
/// verifies and reads back the one controller the task names.
/// @param words the arguments after the hidden command.
/// @return the board's exit code (vxsrom's codes).
device::ExitCode WorkerCommand(const std::vector<std::wstring>& words);

#endif  // VXROM_WORKER_H_
