// /imagegen: the ROM image into a file, without writing any ROM.
#include "device/exit_codes.h"
#include "device/target.h"
#include "platform/platform.h"
#include "rom/actions.h"
#include "rom/image_file.h"
#include "rom/image_source.h"
#include "rom/job.h"

namespace {

/// Image size when the image is built without a geometry.
const uint32_t kImageSizeWithoutGeometry = 0x8000;

int ImageGenSteps(RomJob& job, RomBuffer& image, ImageFile& file) {
  const RomJob& options = job;
  int result = 0;
  if (job.session.rom_type_selector == kRomTypeAuto) {
    // Only the geometry is wanted from the controller: it stays in row 0.
    if ((result = OpenTarget(job.session, NO_REVISION)) != 0) return result;
    CloseTarget(job.session);
  }
  const RomGeometry* geometry =
      job.session.rom_type_selector == kRomTypeNone ? nullptr : &job.session.geometry();
  const uint32_t size =
      geometry ? ImageSize(*geometry) : kImageSizeWithoutGeometry;
  if ((result = AllocateRomBuffer(size, &image)) != 0) return result;
  // Unlike the writes, the configuration path goes even when empty.
  LibraryStatus status = job.session.library->MakeSromImage(
      options.firmware_path.c_str(), options.config_path.c_str(),
      OptionalPath(options.eui64_path), geometry, image.get());
  if (status != 0) {
    platform::Print(L"Make SROM Image error (%d)\n", static_cast<int>(status));
    const int exit_code = MapStatusToExitCode(status);
    PrintImageBuildReason(options.firmware_path, options.config_path,
                          options.eui64_path, status, exit_code);
    return exit_code;
  }
  result = OpenImageFile(options.image_path,
                         L"Image file open error: %ls(wb) (%d)\n", &file);
  if (result != 0) return result;
  if ((result = FinishImageFile(&file, image.get(), size)) != 0) return result;
  platform::Print(L"Image generate complete\n");
  return 0;
}

}  // namespace

int ImageGenAction(RomJob& job) {
  RomBuffer image;
  ImageFile file;
  int result = ImageGenSteps(job, image, file);
  return result;
}
