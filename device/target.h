// Enumeration of the controllers and selection of the one target that a
// single-controller action works on.
#ifndef VXSROM_DEVICE_TARGET_H_
#define VXSROM_DEVICE_TARGET_H_

#include <stdint.h>

#include <string>

#include "device/controller_library.h"

struct DeviceSession;

/// Image revision meaning "no firmware revision to check".
const uint8_t NO_REVISION = 255;

/// The address as BB:DD.F, as diagnostics and the simulator write it.
std::wstring FormatAddress(PciAddress address);

/// Says on stderr that the firmware and the chip revision differ.
void PrintRevisionMismatchReason(const DeviceSession& session,
                                 PciAddress address, uint8_t firmware,
                                 uint8_t chip);

/// Enumerates the controllers into DeviceList / DeviceCount (count, then
/// fill, again while the count changes).  @return 0, -2 or -6.
int LoadDeviceList(DeviceSession& session);

/// Chooses, checks and opens the target controller with the geometry in
/// use; returns 0 at once when one is already selected.
/// @param image_revision chip revision of the image, or NO_REVISION.
/// @return 0, -1, -2, -6, -16 or -17.
int OpenTarget(DeviceSession& session, uint8_t image_revision);

/// CloseDevice with OpenAddress, then no controller is selected.
void CloseTarget(DeviceSession& session);

/// The end step of the single-controller actions: closes the selected
/// controller, if any.
void CloseSelected(DeviceSession& session);

/// Prints the chip model line of revisions 3 and 4; nothing for others.
void PrintChipModel(uint8_t chip_revision);

/// Prints the lines naming the controller about to be opened.
void PrintTargetLines(const DeviceRecord& record);

/// OpenDevice with the geometry (null: the library detects the ROM);
/// prints why not.  @return 0 or -1.
int OpenController(DeviceSession& session, PciAddress address,
                   const RomGeometry* geometry);

#endif  // VXSROM_DEVICE_TARGET_H_
