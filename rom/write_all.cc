// /writeall: one image, written and verified on every controller whose
// chip revision matches the firmware, one after the other.
#include "device/exit_codes.h"
#include "device/rom_types.h"
#include "device/session.h"
#include "device/target.h"
#include "rom/actions.h"
#include "rom/image_source.h"
#include "rom/job.h"
#include "rom/progress.h"

namespace {

/// With auto-detection the image is built for this size and only ROMs of
/// exactly this size are written.
const uint32_t kAutoImageSize = kMaxImageSize;

/// True when the controller's chip takes the image's firmware.
bool Matches(const DeviceRecord& record, uint8_t revision) {
  return RevisionMatches(revision, record.chip_revision);
}

/// The controllers from index first on that the image is written to.
uint32_t CountMatches(const DeviceState& devices, uint32_t first,
                      uint8_t revision) {
  uint32_t count = 0;
  for (uint32_t i = first; i < devices.count; ++i)
    if (Matches(devices.list[i], revision)) ++count;
  return count;
}

/// An event about record.
Event About(EventKind kind, const DeviceRecord& record) {
  Event event(kind);
  event.address = record.address;
  event.chip_revision = record.chip_revision;
  return event;
}

/// Opens controller index with the geometry in use; with auto-detection
/// reads its ROM's geometry and adapts the shared image to it.
int OpenAndPrepare(RomJob& job, uint32_t index, uint8_t* image) {
  DeviceSession& session = job.session;
  const PciAddress address = session.devices.list[index].address;
  const bool automatic = session.rom_type_selector == kRomTypeAuto;
  int result = OpenController(session, address,
                              automatic ? nullptr : &session.geometry());
  if (result != 0) return result;
  session.devices.selected_index = static_cast<int32_t>(index);
  if (!automatic) return 0;
  if ((result = DetectRomGeometry(session, address)) != 0) return result;
  const RomGeometry& detected = session.rom_types.rows[kRomTypeAuto];
  if (detected.mem_size != kAutoImageSize) {
    Event event(EventKind::kRomSizeMismatch);
    event.address = address;
    event.count = detected.mem_size;
    event.total = kAutoImageSize;
    job.Report(event);
    return kExitImage;
  }
  session.library->PatchSromImage(image, kAutoImageSize, 0, 0, nullptr,
                                  &detected, nullptr, 4);
  return 0;
}

/// Opens, erases when asked and writes controller index.  @return 0 when
/// the write completed, else the code that stops the walk.
int WriteController(RomJob& job, uint32_t index, uint8_t* image,
                    uint32_t size) {
  int result = OpenAndPrepare(job, index, image);
  if (result != 0) return result;
  // The erase decision is this ROM's own: row 0 was just read from it.
  return EraseAndWrite(job, image, size);
}

/// Reports the closing counts.
void ReportTally(RomJob& job, const WriteTally& tally) {
  Event event(EventKind::kWriteAllSummary);
  event.tally = tally;
  event.path = job.eui64_path;
  job.Report(event);
}

int WriteAllSteps(RomJob& job, RomBuffer& image) {
  DeviceSession& session = job.session;
  DeviceState& devices = session.devices;
  int result = LoadSomeDevices(session);
  if (result != 0) return result;
  const bool automatic = session.rom_type_selector == kRomTypeAuto;
  const RomGeometry* geometry = automatic ? nullptr : &session.geometry();
  const uint32_t size = automatic ? kAutoImageSize : ImageSize(geometry);
  if ((result = AllocateRomBuffer(session, size, &image)) != 0) return result;
  if ((result = UpdateImage(job, geometry, image.get())) != 0) return result;
  uint8_t revision = NO_REVISION;
  if ((result = ImageRevision(job, image.get(), size, &revision)) != 0)
    return result;
  WriteTally tally;
  // A board whose ROM failed verification must not pass as written: the
  // first such failure is the result, though the others are still written.
  int first_verify_failure = 0;
  PciAddress first_failed_address = kNoAddress;
  for (uint32_t i = 0; i < devices.count; ++i) {
    const DeviceRecord& record = devices.list[i];
    if (!Matches(record, revision)) {
      Event event = About(EventKind::kControllerPassedOver, record);
      event.image_revision = revision;
      job.Report(event);
      ++tally.passed_over;
      continue;
    }
    job.Report(About(EventKind::kTargetChosen, record));
    devices.open_address = record.address;
    const uint32_t left = CountMatches(devices, i + 1, revision);
    job.stop.scope = StopScope::kController;
    job.stop.claimed = true;
    job.stop.address = record.address;
    job.stop.left = left;
    if ((result = WriteController(job, i, image.get(), size)) != 0) {
      Event event = About(EventKind::kControllerFailed, record);
      event.exit_code = result;
      job.Report(event);
      ++tally.failed;
      tally.untouched = left;
      ReportTally(job, tally);
      return result;
    }
    int verified = VerifySrom(job, image.get(), size);
    if (verified == 0) {
      job.Report(About(EventKind::kControllerVerified, record));
      ++tally.verified;
    } else {
      Event event = About(EventKind::kControllerUnverified, record);
      event.exit_code = verified;
      job.Report(event);
      ++tally.failed;
      if (first_verify_failure == 0) {
        first_verify_failure = verified;
        first_failed_address = record.address;
      }
    }
    CloseTarget(session);
    // A stop held back during this controller: take up no further one.
    if (left > 0 && session.host->stop_requested()) {
      NoticeStopRequest(session, &job.stop);
      tally.untouched = left;
      result = first_verify_failure != 0 ? first_verify_failure : kExitFailed;
      break;
    }
  }
  if (tally.verified + tally.failed == 0) {
    Event event(EventKind::kNoMatchingController);
    event.image_revision = revision;
    job.Report(event);
    return kExitNoController;
  }
  ReportTally(job, tally);
  // The run log names the board that failed, not the last one taken up.
  if (first_verify_failure != 0) devices.open_address = first_failed_address;
  return result != 0 ? result : first_verify_failure;
}

}  // namespace

int WriteAllAction(RomJob& job) {
  SelectedControllerGuard guard(job.session);
  RomBuffer image;
  return WriteAllSteps(job, image);
}
