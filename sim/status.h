// Every status the simulated library returns.  The values are chosen so the
// program's status-to-exit-code table gives the user the matching exit code
// (for example, every firmware file problem lands on the firmware exit code).
#ifndef VXSROM_SIM_STATUS_H_
#define VXSROM_SIM_STATUS_H_

#include "device/controller_library.h"

namespace sim {

/// Named statuses; docs/simulator.md lists which operation returns which.
enum Status : LibraryStatus {
  kOk = 0,
  kRunning = 1,             ///< From a poll: the operation still runs.
  kNoDevice = -11,          ///< No controller at that address.
  kNotOpen = -12,           ///< The controller is not open in this process.
  kBadArgument = -13,       ///< Null pointer, bad size, bad constant argument.
  kBusy = -14,              ///< Controller open in another process.
  kOutOfMemory = -16,       ///< Allocation failed.
  kRomAccess = -17,         ///< ROM storage could not be read or written.
  kOperationActive = -21,   ///< A long operation runs, or none runs to poll.
  kOutOfRange = -22,        ///< Access beyond the ROM of the geometry.
  kNoMachine = -31,         ///< Machine description missing or unreadable.
  kBadMachine = -32,        ///< Machine description invalid.
  kBadRomFile = -33,        ///< A ROM file has the wrong size or can't be made.
  kNotInitialized = -34,    ///< Call outside InitializeLibrary..Terminate.
  kReplayDeparture = -35,   ///< A replayed call differs from the recording.
  kBadFirmware = -41,       ///< Firmware file malformed.
  kFileAccess = -42,        ///< An input file could not be opened or read.
  kFirmwareChecksum = -43,  ///< Firmware file checksum mismatch.
  kBadConfig = -44,         ///< Configuration file invalid.
  kFirmwareTooLarge = -45,  ///< Firmware does not fit the image size.
  kBadEui64 = -46,          ///< EUI-64 file invalid.
  kBlank = -51,             ///< ROM or image blank (erased).
  kNoImage = -52,           ///< ROM holds something that is not an image.
  kChecksum = -53,          ///< Image present but a checksum fails.
  kBadImage = -54,          ///< Not a valid image, or too large for the size.
  kUnsupportedRom = -55,    ///< ROM part not recognised.
};

}  // namespace sim

#endif  // VXSROM_SIM_STATUS_H_
