#include "device/target.h"

#include <new>

#include "device/exit_codes.h"
#include "device/rom_types.h"
#include "device/session.h"
#include "platform/program.h"
#include "platform/stop.h"

namespace {

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

/// An event about the controller at address of chip revision chip.
Event About(EventKind kind, PciAddress address, uint8_t chip) {
  Event event(kind);
  event.address = address;
  event.chip_revision = chip;
  return event;
}

}  // namespace

std::vector<PciAddress> DeviceState::addresses() const {
  std::vector<PciAddress> all;
  for (uint32_t i = 0; i < count; ++i) {
    const PciAddress address = list[i].address;  // a copy: packed record
    all.push_back(address);
  }
  return all;
}

SelectedControllerGuard::~SelectedControllerGuard() { CloseSelected(session_); }

const HostServices& SystemHostServices() {
  static const HostServices services = {platform::SleepMilliseconds,
                                        platform::HoldStopRequests,
                                        platform::StopRequested};
  return services;
}

int LoadDeviceList(DeviceSession& session) {
  DeviceState& devices = session.devices;
  devices.list.reset();
  devices.count = 0;
  uint32_t capacity = 0;
  uint32_t count = 0;
  for (int round = 0;; ++round) {
    if (round == kMaxEnumerations) {
      Event event(EventKind::kCountUnsettled);
      event.count = count;
      event.total = kMaxEnumerations;
      session.Report(event);
      devices.list.reset();
      return kExitNoController;
    }
    LibraryStatus status = session.library->EnumerateDevices(
        0, 0, devices.list.get(), capacity, &count);
    if (status != 0) {
      Event event(EventKind::kEnumerationFailed);
      event.status = status;
      session.Report(event);
      return kExitNoController;
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
      Event event(EventKind::kNoMemoryForList);
      event.count = count;
      event.total = static_cast<uint32_t>(count * sizeof(DeviceRecord));
      session.Report(event);
      return kExitNoMemory;
    }
    capacity = count;
  }
}

int LoadSomeDevices(DeviceSession& session) {
  int result = LoadDeviceList(session);
  if (result == 0 && session.devices.count == 0) {
    session.Report(Event(EventKind::kNoController));
    return kExitNoController;
  }
  return result;
}

int OpenTarget(DeviceSession& session, uint8_t image_revision) {
  DeviceState& devices = session.devices;
  if (devices.selected_index >= 0 &&
      static_cast<uint32_t>(devices.selected_index) < devices.count) {
    if (session.has_target_address &&
        devices.selected().address != session.target_address)
      return kExitFailed;
    return 0;
  }
  devices.selected_index = -1;
  int result = LoadSomeDevices(session);
  if (result != 0) return result;
  if (session.has_target_address) {
    for (uint32_t i = 0; i < devices.count; ++i) {
      if (devices.list[i].address == session.target_address) {
        devices.selected_index = static_cast<int32_t>(i);
        break;
      }
    }
    if (devices.selected_index < 0) {
      Event event(EventKind::kAddressNotFound);
      event.address = session.target_address;
      event.addresses = devices.addresses();
      session.Report(event);
      return kExitNoController;
    }
  } else if (devices.count != 1) {
    Event event(EventKind::kSeveralControllers);
    event.addresses = devices.addresses();
    session.Report(event);
    return kExitNoController;
  } else {
    devices.selected_index = 0;
  }
  const DeviceRecord& target = devices.selected();
  PciAddress address = target.address;
  uint8_t chip = target.chip_revision;
  if (session.check_revision) {
    if (!IsSupportedChip(chip)) {
      session.Report(About(EventKind::kUnsupportedChip, address, chip));
      devices.selected_index = -1;
      return kExitRevision;
    }
    if (!RevisionMatches(image_revision, chip)) {
      // The target stays selected though nothing is open: the caller's end
      // step then closes OpenAddress, as it stands.
      Event event = About(EventKind::kRevisionMismatch, address, chip);
      event.image_revision = image_revision;
      session.Report(event);
      return kExitRevision;
    }
  }
  session.Report(About(EventKind::kTargetChosen, address, chip));
  devices.open_address = address;
  return OpenSelected(session);
}

int CheckSelectedRevision(DeviceSession& session, uint8_t image_revision) {
  const uint8_t chip = session.devices.selected().chip_revision;
  if (RevisionMatches(image_revision, chip)) return 0;
  Event event = About(EventKind::kRevisionMismatch,
                      session.devices.open_address, chip);
  event.image_revision = image_revision;
  session.Report(event);
  return kExitRevision;
}

void CloseTarget(DeviceSession& session) {
  session.library->CloseDevice(session.devices.open_address);
  session.devices.selected_index = -1;
}

void CloseSelected(DeviceSession& session) {
  if (session.devices.selected_index >= 0) CloseTarget(session);
}

int OpenController(DeviceSession& session, PciAddress address,
                   const RomGeometry* geometry) {
  LibraryStatus status = session.library->OpenDevice(address, 2, geometry);
  if (status != 0) {
    Event event(EventKind::kOpenFailed);
    event.address = address;
    event.status = status;
    session.Report(event);
    return kExitFailed;
  }
  return 0;
}
