// vxrom's own exit codes, beyond those it shares with vxsrom (-4 for any
// command-line mistake, -6 for no controller the firmware is for): each is
// a contract with the line's scripts, listed in the guide and vxrom(1).
#ifndef VXROM_EXIT_CODES_H_
#define VXROM_EXIT_CODES_H_

/// Exit codes of the pool, history and provision commands.
enum VxromExitCode : int {
  kExitBoardsFailed = -20,      ///< Some boards failed; the others passed.
  kExitPoolTooSmall = -21,      ///< Fewer free EUI-64s than boards.
  kExitDatabase = -22,          ///< Database unreachable, locked, too new.
  kExitStopped = -23,           ///< A stop request left boards untouched.
  kExitSerialProgrammed = -24,  ///< A serial is programmed already.
  kExitRangeRefused = -25,      ///< A range overlaps the pool.
  kExitRecordsWaiting = -26,    ///< Records wait in the station's journal.
};

#endif  // VXROM_EXIT_CODES_H_
