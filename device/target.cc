#include "device/target.h"

#include <new>

#include "device/exit_codes.h"
#include "device/rom_types.h"
#include "device/session.h"
#include "platform/program.h"
#include "platform/stop.h"

namespace device {

namespace {

/// Opens the target with the geometry in use or, in auto mode, with none
/// and then learns the ROM's geometry.
ExitCode OpenSelected(DeviceSession& session) {
  PciAddress address = session.devices.open_address;
  bool automatic = session.rom_type_selector == kRomTypeAuto;
  ExitCode result =
      OpenController(session, address, automatic ? nullptr : &session.geometry());
  if (result != kExitOk || !automatic) return result;
  result = DetectRomGeometry(session, address);
  if (result != kExitOk) CloseTarget(session);
  return result;
}

/// Enumerations of a count that keeps changing, before giving up: a
/// library whose count never settles must not hold the run forever.
const int kMaxEnumerations = 16;

/// Selects the controller named, or the only one; reports why not.
ExitCode SelectTarget(DeviceSession& session) {
  DeviceState& devices = session.devices;
  if (!session.has_target_address) {
    if (devices.count != 1) {
      session.report().SeveralControllers(devices.addresses());
      return kExitNoController;
    }
    devices.selected_index = 0;
    return kExitOk;
  }
  for (uint32_t i = 0; i < devices.count; ++i) {
    if (devices.list[i].address == session.target_address) {
      devices.selected_index = static_cast<int32_t>(i);
      return kExitOk;
    }
  }
  session.report().AddressNotFound(session.target_address, devices.addresses());
  return kExitNoController;
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

ExitCode LoadDeviceList(DeviceSession& session) {
  DeviceState& devices = session.devices;
  devices.list.reset();
  devices.count = 0;
  uint32_t capacity = 0;
  uint32_t count = 0;
  for (int round = 0;; ++round) {
    if (round == kMaxEnumerations) {
      session.report().CountUnsettled(count, kMaxEnumerations);
      devices.list.reset();
      return kExitNoController;
    }
    LibraryStatus status = session.library->EnumerateDevices(
        0, 0, devices.list.get(), capacity, &count);
    if (status != 0) {
      session.report().EnumerationFailed(status);
      return kExitNoController;
    }
    if (count == 0 || count == capacity) {
      devices.count = count;
      return kExitOk;
    }
    // The count changed since the array was sized: size it anew and fill
    // it again, until the library reports as many as it holds.
    devices.list.reset();
    devices.list.reset(new (std::nothrow) DeviceRecord[count]);
    if (!devices.list) {
      session.report().NoMemoryForList(
          count, static_cast<uint32_t>(count * sizeof(DeviceRecord)));
      return kExitNoMemory;
    }
    capacity = count;
  }
}

ExitCode LoadSomeDevices(DeviceSession& session) {
  ExitCode result = LoadDeviceList(session);
  if (result == kExitOk && session.devices.count == 0) {
    session.report().NoController();
    return kExitNoController;
  }
  return result;
}

ExitCode OpenTarget(DeviceSession& session, uint8_t image_revision) {
  DeviceState& devices = session.devices;
  if (devices.selected_index >= 0 &&
      static_cast<uint32_t>(devices.selected_index) < devices.count) {
    if (session.has_target_address &&
        devices.selected().address != session.target_address)
      return kExitFailed;
    return kExitOk;
  }
  devices.selected_index = -1;
  ExitCode result = LoadSomeDevices(session);
  if (result == kExitOk) result = SelectTarget(session);
  if (result != kExitOk) return result;
  const DeviceRecord& record = devices.selected();
  const ControllerSeen target = {record.address, record.chip_revision};
  if (session.check_revision) {
    if (!IsSupportedChip(target.chip_revision)) {
      session.report().UnsupportedChip(target);
      devices.selected_index = -1;
      return kExitRevision;
    }
    if (!RevisionMatches(image_revision, target.chip_revision)) {
      // The target stays selected though nothing is open: the caller's end
      // step then closes OpenAddress, as it stands.
      session.report().RevisionMismatch(target, image_revision);
      return kExitRevision;
    }
  }
  session.report().TargetChosen(target);
  devices.open_address = target.address;
  return OpenSelected(session);
}

ExitCode CheckSelectedRevision(DeviceSession& session, uint8_t image_revision) {
  const uint8_t chip = session.devices.selected().chip_revision;
  if (RevisionMatches(image_revision, chip)) return kExitOk;
  session.report().RevisionMismatch({session.devices.open_address, chip},
                                    image_revision);
  return kExitRevision;
}

void CloseTarget(DeviceSession& session) {
  session.library->CloseDevice(session.devices.open_address);
  session.devices.selected_index = -1;
}

void CloseSelected(DeviceSession& session) {
  if (session.devices.selected_index >= 0) CloseTarget(session);
}

ExitCode OpenController(DeviceSession& session, PciAddress address,
                        const RomGeometry* geometry) {
  LibraryStatus status = session.library->OpenDevice(address, 2, geometry);
  if (status != 0) {
    session.report().OpenFailed(address, status);
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace device
