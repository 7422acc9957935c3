#include "device/listing.h"

#include "device/exit_codes.h"
#include "device/rom_types.h"
#include "device/session.h"
#include "device/target.h"

namespace device {

namespace {

/// Reads what the open controller's ROM holds into report.
void ReadContents(DeviceSession& session, ControllerReport* report) {
  LibraryStatus status =
      session.library->GetDeviceInfo(report->address, &report->info);
  report->contents = ContentsFromStatus(status);
  if (report->contents == RomContents::kUnread) {
    report->failure = ListingFailure::kInfo;
    report->status = status;
  } else if (report->contents != RomContents::kImage) {
    report->status = status;
  }
}

/// Opens one controller, reports its ROM and closes it.
void ListRom(DeviceSession& session, ControllerReport* report) {
  const PciAddress address = report->address;
  const uint32_t selector = session.rom_type_selector;
  report->rom_read = true;
  if (OpenController(session, address, &session.geometry()) != 0) {
    report->failure = ListingFailure::kOpen;
    return;
  }
  if (selector == kRomTypeQuery) {
    if (IdentifySrom(session, address) != 0)
      report->failure = ListingFailure::kUnlisted;
  } else if (selector == kRomTypeAuto &&
             DetectRomGeometry(session, address) != 0) {
    report->failure = ListingFailure::kGeometry;
  } else {
    ReadContents(session, report);
    if (report->contents == RomContents::kImage) {
      session.report().ListedRom(address, report->info);
    } else if (report->contents != RomContents::kUnread) {
      session.report().ListedRomWithout(address, report->status);
    } else {
      session.report().ListedRomFailed(address, report->status);
    }
  }
  session.library->CloseDevice(address);
}

}  // namespace

ExitCode ListControllers(DeviceSession& session,
                         std::vector<ControllerReport>* reports) {
  reports->clear();
  int failures = 0;
  bool unsupported_revision = false;
  const ExitCode result = LoadSomeDevices(session);
  if (result != kExitOk) return result;
  const uint32_t selector = session.rom_type_selector;
  for (uint32_t i = 0; i < session.devices.count; ++i) {
    ControllerReport report;
    report.address = session.devices.list[i].address;
    report.chip_revision = session.devices.list[i].chip_revision;
    const ControllerSeen seen = {report.address, report.chip_revision};
    session.report().ListedController(seen);
    if (selector != kRomTypeNone) {
      if (session.check_revision && !IsSupportedChip(report.chip_revision)) {
        session.report().ListedChipUnsupported(seen);
        unsupported_revision = true;
      } else {
        ListRom(session, &report);
        if (report.failure != ListingFailure::kNone) ++failures;
      }
    }
    reports->push_back(report);
  }
  if (unsupported_revision)
    session.report().ListedUnsupportedNote();
  return failures ? kExitFailed : kExitOk;
}

void SurveyController(DeviceSession& session, ControllerReport* report) {
  const ControllerLibrary& lib = *session.library;
  const PciAddress address = report->address;
  report->rom_read = true;
  LibraryStatus status = lib.OpenDevice(address, 2, nullptr);
  if (status != 0) {
    report->failure = ListingFailure::kOpen;
    report->status = status;
    return;
  }
  status = lib.GetSromInfo(address, &report->geometry);
  if (status == 0 && report->geometry.mem_size == 0) {
    // A ROM of no bytes can be neither written nor read.
    report->failure = ListingFailure::kNoBytes;
  } else if (status == kStatusUnsupportedRom) {
    report->failure = ListingFailure::kUnsupported;
  } else if (status != 0) {
    report->failure = ListingFailure::kGeometry;
  } else {
    report->has_geometry = true;
    report->rom_type = session.rom_types.ListedType(report->geometry);
    ReadContents(session, report);
    status = report->status;
  }
  if (report->failure != ListingFailure::kNone) report->status = status;
  if (!report->has_geometry) report->geometry = RomGeometry();
  lib.CloseDevice(address);
}

}  // namespace device
