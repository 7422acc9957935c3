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

using namespace device;

namespace rom {

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

/// What the walk over the controllers has done so far.
struct Walk {
  WriteTally tally;
  /// A board whose ROM failed verification must not pass as written: the
  /// first such failure is the result, though the others are still
  /// written.
  ExitCode first_verify_failure = kExitOk;
  PciAddress first_failed_address = kNoAddress;
};

/// Opens controller index with the geometry in use; with auto-detection
/// reads its ROM's geometry and adapts the shared image to it.
ExitCode OpenAndPrepare(RomJob& job, uint32_t index, uint8_t* image) {
  DeviceSession& session = job.session;
  const PciAddress address = session.devices.list[index].address;
  const bool automatic = session.rom_type_selector == kRomTypeAuto;
  ExitCode result = OpenController(session, address,
                                   automatic ? nullptr : &session.geometry());
  if (result != kExitOk) return result;
  session.devices.selected_index = static_cast<int32_t>(index);
  if (!automatic) return kExitOk;
  if ((result = DetectRomGeometry(session, address)) != kExitOk) return result;
  const RomGeometry& detected = session.rom_types.rows[kRomTypeAuto];
  if (detected.mem_size != kAutoImageSize) {
    job.report().RomSizeMismatch(address, detected.mem_size, kAutoImageSize);
    return kExitImage;
  }
  session.library->PatchSromImage(image, kAutoImageSize, 0, 0, nullptr,
                                  &detected, nullptr, 4);
  return kExitOk;
}

/// Opens, erases when asked and writes controller index.  @return kExitOk
/// when the write completed, else the code that stops the walk.
ExitCode WriteController(RomJob& job, uint32_t index, uint8_t* image,
                         uint32_t size) {
  const ExitCode result = OpenAndPrepare(job, index, image);
  if (result != kExitOk) return result;
  // The erase decision is this ROM's own: row 0 was just read from it.
  return EraseAndWrite(job, image, size);
}

/// Reports the closing counts.
void ReportTally(RomJob& job, const WriteTally& tally) {
  job.report().WriteAllSummary(tally, job.eui64_path);
}

/// Takes up matching controller index, left more to come after it:
/// writes and verifies it, and counts what became of it.
/// @return kExitOk, or the failed write's code, which ends the walk.
ExitCode TakeUp(RomJob& job, uint32_t index, PreparedImage& image,
                uint32_t left, Walk* walk) {
  const DeviceRecord& record = job.session.devices.list[index];
  const ControllerSeen controller = {record.address, record.chip_revision};
  job.report().TargetChosen(controller);
  job.session.devices.open_address = controller.address;
  job.stop.scope = StopScope::kController;
  job.stop.claimed = true;
  job.stop.address = controller.address;
  job.stop.left = left;
  ExitCode result = WriteController(job, index, image.bytes.get(), image.size);
  if (result != kExitOk) {
    job.report().ControllerFailed(controller, result);
    ++walk->tally.failed;
    walk->tally.untouched = left;
    return result;
  }
  result = VerifySrom(job, image.bytes.get(), image.size);
  if (result == kExitOk) {
    job.report().ControllerVerified(controller);
    ++walk->tally.verified;
  } else {
    job.report().ControllerUnverified(controller, result);
    ++walk->tally.failed;
    if (walk->first_verify_failure == kExitOk) {
      walk->first_verify_failure = result;
      walk->first_failed_address = controller.address;
    }
  }
  CloseTarget(job.session);
  return kExitOk;
}

ExitCode WriteAllSteps(RomJob& job, PreparedImage& image) {
  DeviceSession& session = job.session;
  DeviceState& devices = session.devices;
  ExitCode result = LoadSomeDevices(session);
  if (result != kExitOk) return result;
  const bool automatic = session.rom_type_selector == kRomTypeAuto;
  result = PrepareImage(job, automatic ? nullptr : &session.geometry(),
                        RevisionCheck::kByCaller, &image);
  if (result != kExitOk) return result;
  Walk walk;
  for (uint32_t i = 0; i < devices.count; ++i) {
    const DeviceRecord& record = devices.list[i];
    if (!Matches(record, image.revision)) {
      job.report().ControllerPassedOver({record.address, record.chip_revision},
                                        image.revision);
      ++walk.tally.passed_over;
      continue;
    }
    const uint32_t left = CountMatches(devices, i + 1, image.revision);
    if ((result = TakeUp(job, i, image, left, &walk)) != kExitOk) {
      ReportTally(job, walk.tally);
      return result;
    }
    // A stop held back during this controller: take up no further one.
    if (left > 0 && session.host->stop_requested()) {
      NoticeStopRequest(session, &job.stop);
      walk.tally.untouched = left;
      result = walk.first_verify_failure != kExitOk ? walk.first_verify_failure
                                                    : kExitFailed;
      break;
    }
  }
  if (walk.tally.verified + walk.tally.failed == 0) {
    job.report().NoMatchingController(image.revision);
    return kExitNoController;
  }
  ReportTally(job, walk.tally);
  // The run log names the board that failed, not the last one taken up.
  if (walk.first_verify_failure != kExitOk)
    devices.open_address = walk.first_failed_address;
  return result != kExitOk ? result : walk.first_verify_failure;
}

}  // namespace

ExitCode WriteAllAction(RomJob& job) {
  SelectedControllerGuard guard(job.session);
  PreparedImage image;
  return WriteAllSteps(job, image);
}

}  // namespace rom
