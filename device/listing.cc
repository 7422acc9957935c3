#include "device/listing.h"

#include "device/exit_codes.h"
#include "device/rom_types.h"
#include "device/session.h"
#include "device/target.h"

namespace {

/// An event about the controller of report.
Event About(EventKind kind, const ControllerReport& report) {
  Event event(kind);
  event.address = report.address;
  event.chip_revision = report.chip_revision;
  event.status = report.status;
  return event;
}

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
      Event event = About(EventKind::kListedRom, *report);
      event.info = report->info;
      session.Report(event);
    } else if (report->contents != RomContents::kUnread) {
      session.Report(About(EventKind::kListedRomWithout, *report));
    } else {
      session.Report(About(EventKind::kListedRomFailed, *report));
    }
  }
  session.library->CloseDevice(address);
}

}  // namespace

int ListControllers(DeviceSession& session,
                    std::vector<ControllerReport>* reports) {
  reports->clear();
  int failures = 0;
  bool unsupported_revision = false;
  int result = LoadSomeDevices(session);
  if (result != 0) return result;
  const uint32_t selector = session.rom_type_selector;
  for (uint32_t i = 0; i < session.devices.count; ++i) {
    ControllerReport report;
    report.address = session.devices.list[i].address;
    report.chip_revision = session.devices.list[i].chip_revision;
    session.Report(About(EventKind::kListedController, report));
    if (selector != kRomTypeNone) {
      if (session.check_revision && !IsSupportedChip(report.chip_revision)) {
        session.Report(About(EventKind::kListedChipUnsupported, report));
        unsupported_revision = true;
      } else {
        ListRom(session, &report);
        if (report.failure != ListingFailure::kNone) ++failures;
      }
    }
    reports->push_back(report);
  }
  if (unsupported_revision)
    session.Report(Event(EventKind::kListedUnsupportedNote));
  return failures ? kExitFailed : 0;
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
