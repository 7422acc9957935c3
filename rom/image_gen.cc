// /imagegen: the ROM image into a file, without writing any ROM.
#include "device/exit_codes.h"
#include "device/session.h"
#include "device/target.h"
#include "rom/actions.h"
#include "rom/image_file.h"
#include "rom/image_source.h"
#include "rom/job.h"

namespace {

int ImageGenSteps(RomJob& job, RomBuffer& image, ImageFile& file) {
  DeviceSession& session = job.session;
  int result = 0;
  if (session.rom_type_selector == kRomTypeAuto) {
    // Only the geometry is wanted from the controller: it stays in row 0.
    if ((result = OpenTarget(session, NO_REVISION)) != 0) return result;
    CloseTarget(session);
  }
  const RomGeometry* geometry =
      session.rom_type_selector == kRomTypeNone ? nullptr : &session.geometry();
  const uint32_t size = ImageSize(geometry);
  if ((result = AllocateRomBuffer(session, size, &image)) != 0) return result;
  // Unlike the writes, the configuration path goes even when empty.
  LibraryStatus status = session.library->MakeSromImage(
      job.firmware_path.c_str(), job.config_path.c_str(),
      OptionalPath(job.eui64_path), geometry, image.get());
  if (status != 0) {
    Event event(EventKind::kImageBuildFailed);
    event.status = status;
    event.exit_code = MapStatusToExitCode(status);
    event.made = true;
    event.problems = ImageBuildProblems(job, event.exit_code);
    job.Report(event);
    return event.exit_code;
  }
  if ((result = OpenImageFile(job, false, &file)) != 0) return result;
  if ((result = FinishImageFile(job, &file, image.get(), size)) != 0)
    return result;
  Event event(EventKind::kImageGenComplete);
  event.path = job.image_path;
  job.Report(event);
  return 0;
}

}  // namespace

int ImageGenAction(RomJob& job) {
  RomBuffer image;
  ImageFile file;
  return ImageGenSteps(job, image, file);
}
