// The listing of the controllers present and what their ROMs hold.
#ifndef VXSROM_DEVICE_LISTING_H_
#define VXSROM_DEVICE_LISTING_H_

#include <stdint.h>

#include <vector>

#include "device/controller_library.h"
#include "device/exit_codes.h"
#include "device/rom_types.h"

namespace device {

struct DeviceSession;

/// The step at which reading a controller's ROM stopped.
enum class ListingFailure {
  kNone,
  kOpen,         ///< OpenDevice failed.
  kGeometry,     ///< GetSromInfo failed.
  kUnsupported,  ///< The library does not support the ROM part.
  kNoBytes,      ///< The library reports a ROM of 0 bytes.
  kUnlisted,     ///< The part is of no listed type ("/srom ?").
  kInfo,         ///< GetDeviceInfo failed.
};

/// What the listing found of one controller.
struct ControllerReport {
  PciAddress address = 0;
  uint8_t chip_revision = 0;
  bool rom_read = false;      ///< The ROM was asked for.
  bool has_geometry = false;  ///< The ROM's geometry was read.
  RomGeometry geometry = {};  ///< Valid with has_geometry.
  int rom_type = 0;           ///< Listed type 1 to 4 it equals; 0 none.
  RomContents contents = RomContents::kUnread;
  DeviceInfo info = {};  ///< Valid when contents is kImage.
  ListingFailure failure = ListingFailure::kNone;
  LibraryStatus status = 0;  ///< The failing operation's status.
};

/// Lists every controller, reporting each as it goes; with a ROM type also
/// its ROM's contents, with "/srom ?" its ROM part.  The facts go to
/// *reports as well.  @return kExitOk, kExitFailed (a controller failed),
/// kExitNoMemory or kExitNoController.
ExitCode ListControllers(DeviceSession& session,
                         std::vector<ControllerReport>* reports);

/// Opens the controller as auto-detection does, reads its ROM's geometry
/// and what the ROM holds, and closes it; reports nothing.
void SurveyController(DeviceSession& session, ControllerReport* report);

}  // namespace device

#endif  // VXSROM_DEVICE_LISTING_H_
