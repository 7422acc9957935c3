// Enumeration of the controllers and selection of the one target that a
// single-controller action works on.
#ifndef VXSROM_DEVICE_TARGET_H_
#define VXSROM_DEVICE_TARGET_H_

#include <stdint.h>

#include "device/controller_library.h"
#include "device/exit_codes.h"

namespace device {

struct DeviceSession;

/// Enumerates the controllers into DeviceList / DeviceCount (count, then
/// fill, again while the count changes).
/// @return kExitOk, kExitNoMemory or kExitNoController.
ExitCode LoadDeviceList(DeviceSession& session);

/// LoadDeviceList, and kExitNoController (reported) when it finds no
/// controller.
ExitCode LoadSomeDevices(DeviceSession& session);

/// Chooses, checks and opens the target controller with the geometry in
/// use; returns 0 at once when one is already selected.
/// @param image_revision chip revision of the image, or NO_REVISION.
/// @return kExitOk, kExitFailed, kExitNoMemory, kExitNoController,
///         kExitRevision or kExitUnsupportedRom.
ExitCode OpenTarget(DeviceSession& session, uint8_t image_revision);

/// Checks the image's revision against the selected controller's chip, as
/// the auto-detecting actions must do themselves.
/// @return kExitOk or kExitRevision.
ExitCode CheckSelectedRevision(DeviceSession& session, uint8_t image_revision);

/// CloseDevice with OpenAddress, then no controller is selected.
void CloseTarget(DeviceSession& session);

/// The end step of the single-controller actions: closes the selected
/// controller, if any.
void CloseSelected(DeviceSession& session);

/// OpenDevice with the geometry (null: the library detects the ROM);
/// reports why not.  @return kExitOk or kExitFailed.
ExitCode OpenController(DeviceSession& session, PciAddress address,
                        const RomGeometry* geometry);

}  // namespace device

#endif  // VXSROM_DEVICE_TARGET_H_
