#include "device/rom_types.h"

#include <string.h>

#include "device/exit_codes.h"
#include "device/session.h"

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

int DetectRomGeometry(DeviceSession& session, PciAddress address) {
  RomGeometry reported = {};
  LibraryStatus status = session.library->GetSromInfo(address, &reported);
  if (status == kStatusUnsupportedRom) {
    Event event(EventKind::kRomUnsupported);
    event.address = address;
    event.status = status;
    session.Report(event);
    return kExitUnsupportedRom;
  }
  if (status != 0) {
    Event event(EventKind::kRomGeometryFailed);
    event.address = address;
    event.status = status;
    session.Report(event);
    return kExitFailed;
  }
  if (reported.mem_size == 0) {
    // A ROM of no bytes can be neither written nor read.
    Event event(EventKind::kRomOfNoBytes);
    event.address = address;
    session.Report(event);
    return kExitUnsupportedRom;
  }
  session.rom_types.rows[kRomTypeAuto] = reported;
  return 0;
}

void CheckChosenGeometry(DeviceSession& session, PciAddress address) {
  if (session.rom_type_selector == kRomTypeAuto) return;
  RomGeometry reported = {};
  if (session.library->GetSromInfo(address, &reported) != 0) return;
  const RomGeometry& chosen = session.geometry();
  if (memcmp(&reported, &chosen, sizeof reported) == 0) return;
  Event event(EventKind::kRomTypeDiffers);
  event.address = address;
  event.rom_type = static_cast<int>(session.rom_type_selector);
  event.geometry = chosen;
  event.detected = reported;
  event.count = static_cast<uint32_t>(session.rom_types.ListedType(reported));
  session.Report(event);
}

int IdentifySrom(DeviceSession& session, PciAddress address) {
  int result = DetectRomGeometry(session, address);
  if (result != 0) return result;
  Event event(EventKind::kRomTypeIdentified);
  event.address = address;
  event.geometry = session.rom_types.rows[kRomTypeAuto];
  event.rom_type = session.rom_types.ListedType(event.geometry);
  session.Report(event);
  return event.rom_type != 0 ? 0 : kExitUnsupportedRom;
}
