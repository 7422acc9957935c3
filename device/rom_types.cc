#include "device/rom_types.h"

#include <string.h>

#include "device/exit_codes.h"
#include "device/session.h"

namespace device {

int RomTypeTable::ListedType(const RomGeometry& geometry) const {
  for (int row = 1; row <= 4; ++row) {
    if (memcmp(&geometry, &rows[row], sizeof geometry) == 0) return row;
  }
  return 0;
}

RomContents ContentsFromStatus(LibraryStatus status) {
  switch (status) {
    case kStatusOk:
      return RomContents::kImage;
    case kStatusBlank:
      return RomContents::kBlank;
    case kStatusNoImage:
      return RomContents::kNoImage;
    case kStatusChecksum:
      return RomContents::kDamaged;
    default:
      return RomContents::kUnread;
  }
}

ExitCode DetectRomGeometry(DeviceSession& session, PciAddress address) {
  RomGeometry reported = {};
  LibraryStatus status = session.library->GetSromInfo(address, &reported);
  if (status == kStatusUnsupportedRom) {
    session.report().RomUnsupported(address, status);
    return kExitUnsupportedRom;
  }
  if (status != 0) {
    session.report().RomGeometryFailed(address, status);
    return kExitFailed;
  }
  if (reported.mem_size == 0) {
    // A ROM of no bytes can be neither written nor read.
    session.report().RomOfNoBytes(address);
    return kExitUnsupportedRom;
  }
  session.rom_types.rows[kRomTypeAuto] = reported;
  return kExitOk;
}

void CheckChosenGeometry(DeviceSession& session, PciAddress address) {
  if (session.rom_type_selector == kRomTypeAuto) return;
  RomGeometry reported = {};
  if (session.library->GetSromInfo(address, &reported) != 0) return;
  const RomGeometry& chosen = session.geometry();
  if (memcmp(&reported, &chosen, sizeof reported) == 0) return;
  session.report().RomTypeDiffers({address, session.rom_type_selector, chosen,
                                   reported,
                                   session.rom_types.ListedType(reported)});
}

ExitCode IdentifySrom(DeviceSession& session, PciAddress address) {
  ExitCode result = DetectRomGeometry(session, address);
  if (result != kExitOk) return result;
  const RomGeometry& geometry = session.rom_types.rows[kRomTypeAuto];
  const int rom_type = session.rom_types.ListedType(geometry);
  session.report().RomTypeIdentified(address, rom_type, geometry);
  return rom_type != 0 ? kExitOk : kExitUnsupportedRom;
}

}  // namespace device
