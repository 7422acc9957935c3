// /dump saves the ROM to a file; /verify compares the ROM with the image
// that /write would put there.  Neither changes the ROM.
#include "device/session.h"
#include "device/target.h"
#include "rom/actions.h"
#include "rom/image_file.h"
#include "rom/image_source.h"
#include "rom/job.h"
#include "rom/progress.h"

namespace {

int DumpSteps(RomJob& job, RomBuffer& buffer, ImageFile& file) {
  DeviceSession& session = job.session;
  int result = OpenTarget(session, NO_REVISION);
  if (result != 0) return result;
  const uint32_t size = ImageSize(session.geometry());
  if ((result = AllocateRomBuffer(session, size, &buffer)) != 0) return result;
  Event event(EventKind::kReadComplete);
  event.address = session.devices.open_address;
  result = RunRomOperation(session, event.address, RomOperation::kDumpRead,
                           size, buffer.get(), &job.stop);
  if (result != 0) return result;
  job.Report(event);
  // The file is created only now, so a failed read leaves no trace of it.
  if ((result = OpenImageFile(job, false, &file)) != 0) return result;
  if ((result = FinishImageFile(job, &file, buffer.get(), size)) != 0)
    return result;
  event.kind = EventKind::kDumpComplete;
  event.path = job.image_path;
  job.Report(event);
  return 0;
}

int VerifySteps(RomJob& job, RomBuffer& image) {
  DeviceSession& session = job.session;
  const bool automatic = session.rom_type_selector == kRomTypeAuto;
  int result = 0;
  if (automatic && (result = OpenTarget(session, NO_REVISION)) != 0)
    return result;
  const uint32_t size = ImageSize(session.geometry());
  if ((result = AllocateRomBuffer(session, size, &image)) != 0) return result;
  if ((result = UpdateImage(job, &session.geometry(), image.get())) != 0)
    return result;
  uint8_t revision = NO_REVISION;
  if ((result = ImageRevision(job, image.get(), size, &revision)) != 0)
    return result;
  if (automatic) {
    if (revision != NO_REVISION &&
        (result = CheckSelectedRevision(session, revision)) != 0)
      return result;
  } else if ((result = OpenTarget(session, revision)) != 0) {
    return result;
  }
  return VerifySrom(job, image.get(), size);
}

}  // namespace

int DumpAction(RomJob& job) {
  SelectedControllerGuard guard(job.session);
  RomBuffer buffer;
  ImageFile file;
  return DumpSteps(job, buffer, file);
}

int VerifyAction(RomJob& job) {
  SelectedControllerGuard guard(job.session);
  RomBuffer image;
  return VerifySteps(job, image);
}
