#include "device/listing.h"

#include "device/rom_types.h"
#include "device/session.h"
#include "device/target.h"
#include "platform/platform.h"

namespace {

/// Prints what GetDeviceInfo found in the ROM.
void PrintRomInformation(const DeviceInfo& info) {
  const uint8_t* v = info.firmware_version;  // V4..V7
  if (!v[0] && !v[1] && !v[2] && !v[3]) {
    platform::Print(L"     FW Version : None\n");
  } else {
    platform::Print(L"     FW Version : %X.%X.%X.%X-%X.%X\n", v[3] >> 4,
                    v[3] & 0xF, v[2] >> 4, v[2] & 0xF, v[1], v[0]);
  }
  if (info.subsystem_vendor_id == 0) {
    platform::Print(L"     PCI Subsystem Vendor ID : None\n");
  } else {
    platform::Print(L"     PCI Subsystem Vendor ID : 0x%04X\n",
                    info.subsystem_vendor_id);
  }
  if (info.subsystem_id == 0) {
    platform::Print(L"     PCI Subsystem ID : None\n");
  } else {
    platform::Print(L"     PCI Subsystem ID : 0x%04X\n", info.subsystem_id);
  }
  const uint8_t* e = info.eui64;
  bool all_zero = true, all_ones = true;
  for (int i = 0; i < 8; ++i) {
    all_zero = all_zero && e[i] == 0x00;
    all_ones = all_ones && e[i] == 0xFF;
  }
  if (!all_zero && !all_ones) {
    platform::Print(L"     EUI-64 : %02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X\n",
                    e[0], e[1], e[2], e[3], e[4], e[5], e[6], e[7]);
  }
}

/// Opens one controller, reports its ROM and closes it.
/// @return false when the controller counts as failed.
bool ListRom(DeviceSession& session, PciAddress address) {
  const ControllerLibrary& lib = *session.library;
  uint32_t selector = session.rom_type_selector;
  if (OpenController(session, address, &session.geometry()) != 0) return false;
  bool ok = true;
  if (selector == kRomTypeQuery) {
    ok = IdentifySrom(session, address) == 0;
    lib.CloseDevice(address);
    return ok;
  }
  if (selector == kRomTypeAuto && DetectRomGeometry(session, address) != 0) {
    lib.CloseDevice(address);
    return false;
  }
  DeviceInfo info = {};
  LibraryStatus status = lib.GetDeviceInfo(address, &info);
  if (status == 0) {
    PrintRomInformation(info);
  } else if (status == -51 || status == -52 || status == -53) {
    platform::Print(L"     FW Version : None\n");
    platform::Print(L"     PCI Subsystem Vendor ID : None\n");
    platform::Print(L"     PCI Subsystem ID : None\n");
    // The three "None" look alike; the status tells them apart.
    platform::PrintReason(L"%ls: %ls (library status %d)",
                          FormatAddress(address).c_str(),
                          status == -51   ? L"the ROM is blank"
                          : status == -52 ? L"the ROM holds no image"
                                          : L"the ROM's image is damaged",
                          static_cast<int>(status));
  } else {
    platform::Print(L"Can't get device information! (%d)\n",
                    static_cast<int>(status));
    platform::PrintReason(
        L"%ls: cannot read what the ROM holds (library status %d)",
        FormatAddress(address).c_str(), static_cast<int>(status));
    ok = false;
  }
  lib.CloseDevice(address);
  return ok;
}

}  // namespace

int ListControllers(DeviceSession& session, bool* wants_help) {
  *wants_help = false;
  int failures = 0;
  bool unsupported_revision = false;
  int result = LoadDeviceList(session);
  if (result != 0) return result;
  if (session.devices.count == 0) {
    platform::Print(L"Device not found!\n");
    platform::PrintReason(L"no VX5130 or VX5130A controller found");
    return -6;
  }
  uint32_t selector = session.rom_type_selector;
  for (uint32_t i = 0; i < session.devices.count; ++i) {
    PciAddress address = session.devices.list[i].address;
    uint8_t revision = session.devices.list[i].chip_revision;
    platform::Print(L"Bus:0x%02X Device:0x%02X Function:0x%02X\n",
                    address >> 8, (address >> 3) & 0x1F, address & 7);
    PrintChipModel(revision);
    if (selector == kRomTypeNone) continue;
    if (session.check_revision && revision != 3 && revision != 4) {
      platform::Print(L"     This chip revision is %d.\n", revision);
      unsupported_revision = true;
      continue;
    }
    if (!ListRom(session, address)) ++failures;
  }
  if (unsupported_revision) {
    platform::Print(L"\nThis tool is for VX5130(Revision %d) and VX5130A(Revision %d).\n", 3, 4);
    platform::Print(L"Vesmark Electronics release appropriate tool for the chip revision.\n");
  }
  // Without a ROM type the listing ends with the short help, which
  // belongs to the program.
  if (selector == kRomTypeNone) {
    platform::Print(L"\n");
    *wants_help = true;
  }
  return failures ? -1 : 0;
}
