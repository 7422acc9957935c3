// /write: build the image, check the firmware against the chip, erase when
// the ROM type asks for it, write and verify; or with /fout, store the
// image in a file instead.
#include "device/session.h"
#include "device/target.h"
#include "rom/actions.h"
#include "rom/image_file.h"
#include "rom/image_source.h"
#include "rom/job.h"
#include "rom/progress.h"

using namespace device;

namespace rom {

namespace {

/// What the action holds until its end step.
struct WriteResources {
  PreparedImage image;
  ImageFile file;
};

/// /fout: the image goes to ImagePath instead of a ROM.
ExitCode WriteImageFile(RomJob& job, WriteResources& held) {
  ExitCode result = OpenImageFile(job, true, &held.file);
  if (result != kExitOk) return result;
  job.report().FileWriteStarted(job.image_path);
  result = FinishImageFile(job, &held.file, held.image.bytes.get(),
                           held.image.size);
  if (result != kExitOk) return result;
  job.report().FileWritten(job.image_path);
  return kExitOk;
}

/// Erase when asked, write, then always verify, on the open target.
ExitCode WriteRom(RomJob& job, uint8_t* image, uint32_t size) {
  const ExitCode result = EraseAndWrite(job, image, size);
  if (result != kExitOk) return result;
  return VerifySrom(job, image, size);
}

ExitCode WriteSteps(RomJob& job, WriteResources& held) {
  DeviceSession& session = job.session;
  // Auto-detection must read the geometry before the image can be sized;
  // a listed type builds (and reports a bad firmware file) first.
  const bool automatic = session.rom_type_selector == kRomTypeAuto;
  ExitCode result = kExitOk;
  if (automatic && (result = OpenTarget(session, NO_REVISION)) != kExitOk)
    return result;
  result = PrepareImage(job, &session.geometry(),
                        automatic ? RevisionCheck::kSelected
                                  : RevisionCheck::kByCaller,
                        &held.image);
  if (result != kExitOk) return result;
  if (job.to_file) return WriteImageFile(job, held);
  if (!automatic &&
      (result = OpenTarget(session, held.image.revision)) != kExitOk)
    return result;
  return WriteRom(job, held.image.bytes.get(), held.image.size);
}

}  // namespace

ExitCode EraseAndWrite(RomJob& job, uint8_t* image, uint32_t size) {
  job.stop.Claim(StopScope::kRom);
  CheckChosenGeometry(job.session, job.session.devices.open_address);
  if (!job.no_erase &&
      (job.session.geometry().dev_code & kEraseBeforeWrite) != 0) {
    const ExitCode result = EraseSrom(job, true);
    if (result != kExitOk) return result;
  }
  const PciAddress address = job.session.devices.open_address;
  const ExitCode result = RunRomOperation(
      job.session, address, RomOperation::kWrite, size, image, &job.stop);
  if (result != kExitOk) return result;
  job.report().WriteComplete(address);
  return kExitOk;
}

ExitCode WriteAction(RomJob& job) {
  SelectedControllerGuard guard(job.session);
  WriteResources held;
  return WriteSteps(job, held);
}

}  // namespace rom
