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

namespace {

/// What the action holds until its end step.
struct WriteResources {
  RomBuffer image;
  ImageFile file;
};

/// /fout: the image goes to ImagePath instead of a ROM.
int WriteImageFile(RomJob& job, WriteResources& held, uint32_t size) {
  int result = OpenImageFile(job, true, &held.file);
  if (result != 0) return result;
  Event event(EventKind::kFileWriteStarted);
  event.path = job.image_path;
  job.Report(event);
  result = FinishImageFile(job, &held.file, held.image.get(), size);
  if (result != 0) return result;
  event.kind = EventKind::kFileWritten;
  job.Report(event);
  return 0;
}

/// Erase when asked, write, then always verify, on the open target.
int WriteRom(RomJob& job, uint8_t* image, uint32_t size) {
  int result = EraseAndWrite(job, image, size);
  if (result != 0) return result;
  return VerifySrom(job, image, size);
}

int WriteSteps(RomJob& job, WriteResources& held) {
  DeviceSession& session = job.session;
  // Auto-detection must read the geometry before the image can be sized;
  // a listed type builds (and reports a bad firmware file) first.
  const bool automatic = session.rom_type_selector == kRomTypeAuto;
  int result = 0;
  if (automatic && (result = OpenTarget(session, NO_REVISION)) != 0)
    return result;
  const uint32_t size = ImageSize(session.geometry());
  if ((result = AllocateRomBuffer(session, size, &held.image)) != 0)
    return result;
  if ((result = UpdateImage(job, &session.geometry(), held.image.get())) != 0)
    return result;
  uint8_t revision = NO_REVISION;
  result = ImageRevision(job, held.image.get(), size, &revision);
  if (result != 0) return result;
  if (automatic && revision != NO_REVISION &&
      (result = CheckSelectedRevision(session, revision)) != 0)
    return result;
  if (job.to_file) return WriteImageFile(job, held, size);
  if (!automatic && (result = OpenTarget(session, revision)) != 0)
    return result;
  return WriteRom(job, held.image.get(), size);
}

}  // namespace

int EraseAndWrite(RomJob& job, uint8_t* image, uint32_t size) {
  job.stop.Claim(StopScope::kRom);
  CheckChosenGeometry(job.session, job.session.devices.open_address);
  if (!job.no_erase &&
      (job.session.geometry().dev_code & kEraseBeforeWrite) != 0) {
    int result = EraseSrom(job, true);
    if (result != 0) return result;
  }
  const PciAddress address = job.session.devices.open_address;
  int result = RunRomOperation(job.session, address, RomOperation::kWrite,
                               size, image, &job.stop);
  if (result != 0) return result;
  Event event(EventKind::kWriteComplete);
  event.address = address;
  job.Report(event);
  return 0;
}

int WriteAction(RomJob& job) {
  SelectedControllerGuard guard(job.session);
  WriteResources held;
  return WriteSteps(job, held);
}
