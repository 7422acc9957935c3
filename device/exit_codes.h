// Exit codes of the program and the map from library statuses to them.
#ifndef VXSROM_DEVICE_EXIT_CODES_H_
#define VXSROM_DEVICE_EXIT_CODES_H_

#include <stdint.h>

#include "device/controller_library.h"

namespace device {

/// Every exit code vxsrom and vxrom return; the values are a contract
/// with the scripts that run them (vxrom's are listed in the guide and
/// vxrom(1)).
enum ExitCode : int32_t {
  kExitOk = 0,
  kExitFailed = -1,           ///< Library, open, ROM information, listing.
  kExitNoMemory = -2,         ///< No memory; library status -16.
  kExitWrongName = -3,        ///< The executable's name is not its own.
  kExitCommandLine = -4,      ///< Any command-line error.
  kExitRomOperation = -5,     ///< An erase, read or write failed.
  kExitNoController = -6,     ///< None, several, not the one named.
  kExitFirmware = -7,         ///< The firmware file was refused.
  kExitVerifyMismatch = -8,   ///< The ROM differs from the image.
  kExitConfig = -10,          ///< The configuration file was refused.
  kExitEui64 = -11,           ///< The EUI-64 file was refused.
  kExitFile = -12,            ///< An image or input file failed.
  kExitImage = -15,           ///< Image or ROM size unusable.
  kExitRevision = -16,        ///< Chip revision unsupported or mismatched.
  kExitUnsupportedRom = -17,  ///< The ROM part is not supported.
  // vxrom's own, for the pool, history and provision commands.
  kExitBoardsFailed = -20,      ///< Some boards failed; the others passed.
  kExitPoolTooSmall = -21,      ///< Fewer free EUI-64s than boards.
  kExitDatabase = -22,          ///< Database unreachable, locked, too new.
  kExitStopped = -23,           ///< A stop request left boards untouched.
  kExitSerialProgrammed = -24,  ///< A serial is programmed already.
  kExitRangeRefused = -25,      ///< A range overlaps the pool.
  kExitRecordsWaiting = -26,    ///< Records wait in the station's journal.
  kExitChainBroken = -27,       ///< history verify: a record was changed.
};

/// One StatusToExitCode pair.
struct StatusExitPair {
  LibraryStatus status;
  ExitCode exit_code;
};

/// StatusToExitCode: the 25 pairs, searched in order.
extern const StatusExitPair StatusToExitCode[25];

/// The exit code of the first pair with this status; kExitFailed when
/// none.
ExitCode MapStatusToExitCode(LibraryStatus status);

}  // namespace device

#endif  // VXSROM_DEVICE_EXIT_CODES_H_
