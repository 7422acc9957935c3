// /dump saves the ROM to a file; /verify compares the ROM with the image
// that /write would put there.  Neither changes the ROM.
#include "device/target.h"
#include "platform/platform.h"
#include "rom/actions.h"
#include "rom/image_file.h"
#include "rom/image_source.h"
#include "rom/job.h"
#include "rom/progress.h"

namespace {

int DumpSteps(RomJob& job, RomBuffer& buffer, ImageFile& file) {
  int result = OpenTarget(job.session, NO_REVISION);
  if (result != 0) return result;
  const uint32_t size = ImageSize(job.session.geometry());
  if ((result = AllocateRomBuffer(size, &buffer)) != 0) return result;
  result = RunRomOperation(*job.session.library, job.session.devices.open_address, RomOperation::kDumpRead, size, buffer.get(), &job.stop);
  if (result != 0) return result;
  platform::Print(L"\n");
  // The file is created only now, so a failed read leaves no trace of it.
  result = OpenImageFile(job.image_path,
                         L"Image file open error: %ls(wb) (%d)\n", &file);
  if (result != 0) return result;
  if ((result = FinishImageFile(&file, buffer.get(), size)) != 0) return result;
  platform::Print(L"Dump complete\n");
  return 0;
}

int VerifySteps(RomJob& job, RomBuffer& image) {
  const bool automatic = job.session.rom_type_selector == kRomTypeAuto;
  int result = 0;
  if (automatic && (result = OpenTarget(job.session, NO_REVISION)) != 0) return result;
  const uint32_t size = ImageSize(job.session.geometry());
  if ((result = AllocateRomBuffer(size, &image)) != 0) return result;
  if ((result = UpdateImage(job, &job.session.geometry(), image.get())) != 0)
    return result;
  uint8_t revision = NO_REVISION;
  if ((result = ImageRevision(job, image.get(), size, &revision)) != 0)
    return result;
  if (automatic) {
    if (revision != NO_REVISION &&
        (result = CheckSelectedRevision(job, revision)) != 0)
      return result;
  } else if ((result = OpenTarget(job.session, revision)) != 0) {
    return result;
  }
  return VerifySrom(job, image.get(), size);
}

}  // namespace

int DumpAction(RomJob& job) {
  RomBuffer buffer;
  ImageFile file;
  int result = DumpSteps(job, buffer, file);
  CloseSelected(job.session);
  return result;
}

int VerifyAction(RomJob& job) {
  RomBuffer image;
  int result = VerifySteps(job, image);
  CloseSelected(job.session);
  return result;
}
