// The start-and-poll loop through which every long ROM operation runs:
// the library works in the background while the reporter is told the
// percentage done.
#ifndef VXSROM_ROM_PROGRESS_H_
#define VXSROM_ROM_PROGRESS_H_

#include <stdint.h>

#include "device/controller_library.h"
#include "device/exit_codes.h"
#include "device/report.h"

namespace device {
struct DeviceSession;
}  // namespace device

namespace rom {

/// What a held-back request to stop waits for, told once.
struct StopNotice {
  device::StopScope scope = device::StopScope::kOperation;  ///< What is finished first.
  PciAddress address = kNoAddress;                          ///< With kController.
  uint32_t left = 0;                                        ///< With kController: untouched.
  bool reported = false;                                    ///< True once told.

  /// Sets what is finished first, unless an action said so already.
  void Claim(device::StopScope s) {
    if (!claimed) scope = s;
    claimed = true;
  }
  bool claimed = false;  ///< An action has said what it finishes.
};

/// Reports the notice, once, when a request to stop has been held back.
void NoticeStopRequest(device::DeviceSession& session, StopNotice* notice);

/// Percentage shown for progress bytes of size: unsigned 32-bit, fraction
/// dropped and never clamped, so a library overshooting shows above 100.
uint32_t ProgressPercent(uint32_t progress, uint32_t size);

/// Starts the operation on the open controller at address, reports its
/// start and polls every 100 ms (the wait comes first) until the library
/// reports anything but "running", reporting the progress of every poll
/// that did not fail.  The caller reports completion.
/// @param size image size: bytes to write or read, and the 100% mark.
/// @param data the image to write, or the buffer of size bytes to read into.
/// @param notice answers a request to stop that an erase or a write holds
///        back.
/// @return kExitOk complete; the start-failure code (kExitRomOperation,
///         or for the write the mapped status); kExitRomOperation when a
///         poll failed.
device::ExitCode RunRomOperation(device::DeviceSession& session, PciAddress address,
                                 device::RomOperation operation, uint32_t size, uint8_t* data,
                                 StopNotice* notice);

}  // namespace rom

#endif  // VXSROM_ROM_PROGRESS_H_
