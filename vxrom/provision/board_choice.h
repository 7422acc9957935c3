// Which boards of the PC a provision run takes: every controller the
// firmware is for (or those --address names), each one's ROM read first,
// so that a board already programmed from this store is left alone
// unless --rework names it, and the count checked against --expect.
#ifndef VXROM_BOARD_CHOICE_H_
#define VXROM_BOARD_CHOICE_H_

#include <vector>

#include "device/exit_codes.h"
#include "store/store.h"
#include "vxrom/options.h"
#include "vxrom/provision/provision_view.h"

/// The controllers the firmware is for (and --address names), with what
/// their ROMs hold; the others named on standard error.  The library is
/// stopped again before any worker opens a controller.
/// @return 0, -6 (none, or --address names none of them, or not as many as
///         --expect), or what starting the library or reading the
///         firmware gave.
device::ExitCode ChooseBoards(const ProvisionOptions& options, std::vector<BoardState>* boards);

/// Marks the boards whose ROM holds a number this store has programmed
/// (skipped, with why) unless --rework names them; a reworked board's
/// number, and the number its serial is programmed with, are to be
/// retired.  @return 0, -4 (--rework names no chosen board) or a store
/// failure's code.
device::ExitCode SkipProgrammed(const ProvisionOptions& options, store::Store& store, std::vector<BoardState>* boards);

#endif  // VXROM_BOARD_CHOICE_H_
