// /imagegen: the ROM image into a file, without writing any ROM.
#include "device/exit_codes.h"
#include "device/session.h"
#include "device/target.h"
#include "rom/actions.h"
#include "rom/image_file.h"
#include "rom/image_source.h"
#include "rom/job.h"

using namespace device;

namespace rom {

namespace {

ExitCode ImageGenSteps(RomJob& job, RomBuffer& image, ImageFile& file) {
  DeviceSession& session = job.session;
  ExitCode result = kExitOk;
  if (session.rom_type_selector == kRomTypeAuto) {
    // Only the geometry is wanted from the controller: it stays in row 0.
    if ((result = OpenTarget(session, NO_REVISION)) != kExitOk) return result;
    CloseTarget(session);
  }
  const RomGeometry* geometry =
      session.rom_type_selector == kRomTypeNone ? nullptr : &session.geometry();
  const uint32_t size = ImageSize(geometry);
  if ((result = AllocateRomBuffer(session, size, &image)) != kExitOk)
    return result;
  // Unlike the writes, the configuration path goes even when empty.
  LibraryStatus status = session.library->MakeSromImage(
      job.firmware_path.c_str(), job.config_path.c_str(),
      OptionalPath(job.eui64_path), geometry, image.get());
  if (status != 0) {
    ImageBuildFailure failure = {status, MapStatusToExitCode(status), true, {}};
    failure.problems = ImageBuildProblems(job, failure.exit_code);
    job.report().ImageBuildFailed(failure);
    return failure.exit_code;
  }
  if ((result = OpenImageFile(job, false, &file)) != kExitOk) return result;
  if ((result = FinishImageFile(job, &file, image.get(), size)) != kExitOk)
    return result;
  job.report().ImageGenComplete(job.image_path);
  return kExitOk;
}

}  // namespace

ExitCode ImageGenAction(RomJob& job) {
  RomBuffer image;
  ImageFile file;
  return ImageGenSteps(job, image, file);
}

}  // namespace rom
