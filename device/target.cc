#include "device/target.h"

#include <wchar.h>

#include <new>

#include "device/rom_types.h"
#include "device/session.h"
#include "platform/platform.h"

namespace {

const uint8_t kVx5130 = 3;
const uint8_t kVx5130A = 4;

unsigned Bus(PciAddress a) { return a >> 8; }
unsigned Device(PciAddress a) { return (a >> 3) & 0x1F; }
unsigned Function(PciAddress a) { return a & 7; }

/// Opens the target with the geometry in use or, in auto mode, with none
/// and then learns the ROM's geometry.
int OpenSelected(DeviceSession& session) {
  PciAddress address = session.devices.open_address;
  bool automatic = session.rom_type_selector == kRomTypeAuto;
  int result =
      OpenController(session, address, automatic ? nullptr : &session.geometry());
  if (result != 0 || !automatic) return result;
  result = DetectRomGeometry(session, address);
  if (result != 0) CloseTarget(session);
  return result;
}

/// Enumerations of a count that keeps changing, before giving up: a
/// library whose count never settles must not hold the run forever.
const int kMaxEnumerations = 16;

/// Every enumerated controller's address, comma-separated.
std::wstring AddressList(const DeviceState& devices) {
  std::wstring list;
  for (uint32_t i = 0; i < devices.count; ++i)
    list += (i ? L", " : L"") + FormatAddress(devices.list[i].address);
  return list;
}

/// The address as /address takes it.
std::wstring AddressOption(PciAddress address) {
  wchar_t text[16];
  swprintf(text, 16, L"%02X-%02X-%X", Bus(address), Device(address),
           Function(address));
  return text;
}

}  // namespace

void PrintRevisionMismatchReason(const DeviceSession& session,
                                 PciAddress address, uint8_t firmware,
                                 uint8_t chip) {
  platform::PrintReason(
      L"%ls: the firmware is for chip revision %u, the controller's chip is "
      L"revision %u (%ls skips the check)",
      FormatAddress(address).c_str(), static_cast<unsigned>(firmware),
      static_cast<unsigned>(chip), session.revision_option);
}

std::wstring FormatAddress(PciAddress address) {
  wchar_t text[16];
  swprintf(text, 16, L"%02X:%02X.%X", Bus(address), Device(address),
           Function(address));
  return text;
}

int LoadDeviceList(DeviceSession& session) {
  DeviceState& devices = session.devices;
  devices.list.reset();
  devices.count = 0;
  uint32_t capacity = 0;
  uint32_t count = 0;
  for (int round = 0;; ++round) {
    if (round == kMaxEnumerations) {
      platform::PrintReason(
          L"the controller count kept changing over %d enumerations "
          L"(last %u)",
          kMaxEnumerations, static_cast<unsigned>(count));
      platform::Print(L"Device Enumration Error! (%d)\n", -1);
      devices.list.reset();
      return -6;
    }
    LibraryStatus status = session.library->EnumerateDevices(
        0, 0, devices.list.get(), capacity, &count);
    if (status != 0) {
      platform::Print(L"Device Enumration Error! (%d)\n",
                      static_cast<int>(status));
      platform::PrintReason(
          L"cannot enumerate the controllers (library status %d)",
          static_cast<int>(status));
      return -6;
    }
    if (count == 0 || count == capacity) {
      devices.count = count;
      return 0;
    }
    // The count changed since the array was sized: size it anew and fill
    // it again, until the library reports as many as it holds.
    devices.list.reset();
    devices.list.reset(new (std::nothrow) DeviceRecord[count]);
    if (!devices.list) {
      platform::Print(L"Memory allocate error = %d\n",
                      static_cast<int>(count * sizeof(DeviceRecord)));
      platform::PrintReason(L"out of memory for %u controller records",
                            static_cast<unsigned>(count));
      return -2;
    }
    capacity = count;
  }
}

int OpenTarget(DeviceSession& session, uint8_t image_revision) {
  DeviceState& devices = session.devices;
  if (devices.selected_index >= 0 &&
      static_cast<uint32_t>(devices.selected_index) < devices.count) {
    if (session.has_target_address &&
        devices.selected().address != session.target_address)
      return -1;
    return 0;
  }
  devices.selected_index = -1;
  int result = LoadDeviceList(session);
  if (result != 0) return result;
  if (devices.count == 0) {
    platform::Print(L"Device not found!\n");
    platform::PrintReason(L"no VX5130 or VX5130A controller found");
    return -6;
  }
  if (session.has_target_address) {
    for (uint32_t i = 0; i < devices.count; ++i) {
      if (devices.list[i].address == session.target_address) {
        devices.selected_index = static_cast<int32_t>(i);
        break;
      }
    }
    if (devices.selected_index < 0) {
      platform::Print(
          L"Specified device by \"/address\" option isn't VX5130 or VX5130A!\n");
      platform::PrintReason(L"%ls %ls: no such controller; present: %ls",
                            session.address_option,
                            FormatAddress(session.target_address).c_str(),
                            AddressList(devices).c_str());
      return -6;
    }
  } else if (devices.count != 1) {
    platform::Print(
        L"%d device was found! Please select device by \"/address\" option.\n",
        static_cast<int>(devices.count));
    platform::PrintReason(
        L"%u controllers found (%ls): choose one with %ls, e.g. %ls %ls",
        static_cast<unsigned>(devices.count), AddressList(devices).c_str(),
        session.address_option, session.address_option,
        AddressOption(devices.list[0].address).c_str());
    return -6;
  } else {
    devices.selected_index = 0;
  }
  const DeviceRecord& target = devices.selected();
  PciAddress address = target.address;
  uint8_t chip = target.chip_revision;
  if (session.check_revision) {
    if (chip != kVx5130 && chip != kVx5130A) {
      platform::Print(L"[Target Device]  Bus:0x%02X Device:0x%02X Function:0x%02X\n",
                      Bus(address), Device(address), Function(address));
      platform::Print(L"This chip revision is %d.\n", chip);
      platform::Print(L"This tool is for VX5130(Revision %d) and VX5130A(Revision %d).\n",
                      kVx5130, kVx5130A);
      platform::Print(L"Vesmark Electronics release appropriate tool for this chip revision.\n");
      platform::PrintReason(
          L"%ls: chip revision %d is not supported: this tool is for "
          L"revisions 3 and 4 (%ls skips the check)",
          FormatAddress(address).c_str(), chip, session.revision_option);
      devices.selected_index = -1;
      return -16;
    }
    if (image_revision < 16 && image_revision != chip) {
      // The target stays selected though nothing is open: the caller's end
      // step then closes OpenAddress, as it stands.
      platform::Print(L"This firmware revision is %x.\n", image_revision);
      platform::Print(L"This chip revision is %x.\n", chip);
      platform::Print(L"Revision is mismatch.\n");
      PrintRevisionMismatchReason(session, address, image_revision, chip);
      return -16;
    }
  }
  PrintTargetLines(target);
  devices.open_address = address;
  return OpenSelected(session);
}

void CloseTarget(DeviceSession& session) {
  session.library->CloseDevice(session.devices.open_address);
  session.devices.selected_index = -1;
}

void CloseSelected(DeviceSession& session) {
  if (session.devices.selected_index >= 0) CloseTarget(session);
}

void PrintChipModel(uint8_t chip_revision) {
  if (chip_revision == kVx5130) {
    platform::Print(L"This Device is VX5130(Revision %d).\n", kVx5130);
  } else if (chip_revision == kVx5130A) {
    platform::Print(L"This Device is VX5130A(Revision %d).\n", kVx5130A);
  }
}

void PrintTargetLines(const DeviceRecord& record) {
  PciAddress address = record.address;
  platform::Print(L"[Target Device]Bus:0x%02X Device:0x%02X Function:0x%02X\n",
                  Bus(address), Device(address), Function(address));
  PrintChipModel(record.chip_revision);
}

int OpenController(DeviceSession& session, PciAddress address,
                   const RomGeometry* geometry) {
  LibraryStatus status = session.library->OpenDevice(address, 2, geometry);
  if (status != 0) {
    platform::Print(L"Can't open device! (%d)\n", static_cast<int>(status));
    platform::PrintReason(
        L"%ls: cannot open the controller (library status %d)",
        FormatAddress(address).c_str(), static_cast<int>(status));
    return -1;
  }
  return 0;
}
