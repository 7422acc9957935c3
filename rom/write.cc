// /write: build the image, check the firmware against the chip, erase when
// the ROM type asks for it, write and verify; or with /fout, store the
// image in a file instead.
#include "device/target.h"
#include "platform/platform.h"
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
  int result = OpenImageFile(job.image_path,
                             L"Output file open error: %ls(wb) (%d)\n",
                             &held.file);
  if (result != 0) return result;
  platform::Print(L"Write output file....  0%%");
  platform::Flush();
  result = FinishImageFile(&held.file, held.image.get(), size);
  if (result != 0) return result;
  platform::Print(L"\rWrite output file....  100%% ");
  platform::Print(L"\nWrite complete\n");
  return 0;
}

/// Erase when asked, write, then always verify, on the open target.
int WriteRom(RomJob& job, uint8_t* image, uint32_t size) {
  int result = EraseAndWrite(job, image, size);
  if (result != 0) return result;
  return VerifySrom(job, image, size);
}

int WriteSteps(RomJob& job, WriteResources& held) {
  // Auto-detection must read the geometry before the image can be sized;
  // a listed type builds (and reports a bad firmware file) first.
  const bool automatic = job.session.rom_type_selector == kRomTypeAuto;
  int result = 0;
  if (automatic && (result = OpenTarget(job.session, NO_REVISION)) != 0) return result;
  const uint32_t size = ImageSize(job.session.geometry());
  if ((result = AllocateRomBuffer(size, &held.image)) != 0) return result;
  if ((result = UpdateImage(job, &job.session.geometry(), held.image.get())) != 0)
    return result;
  uint8_t revision = NO_REVISION;
  result = ImageRevision(job, held.image.get(), size, &revision);
  if (result != 0) return result;
  if (automatic && revision != NO_REVISION &&
      (result = CheckSelectedRevision(job, revision)) != 0)
    return result;
  if (job.to_file) return WriteImageFile(job, held, size);
  if (!automatic && (result = OpenTarget(job.session, revision)) != 0) return result;
  return WriteRom(job, held.image.get(), size);
}

}  // namespace

int EraseAndWrite(RomJob& job, uint8_t* image, uint32_t size) {
  if (job.stop.text.empty()) {
    job.stop.text =
        L"stop requested: the ROM is finished first (erase, "
        L"write and verify), then the program stops";
  }
  if (!job.no_erase &&
      (job.session.geometry().dev_code & kEraseBeforeWrite) != 0) {
    int result = EraseSrom(job, true);
    if (result != 0) return result;
  }
  int result = RunRomOperation(*job.session.library, job.session.devices.open_address, RomOperation::kWrite, size, image, &job.stop);
  if (result != 0) return result;
  platform::Print(L"\nWrite complete\n");
  return 0;
}

int WriteAction(RomJob& job) {
  WriteResources held;
  int result = WriteSteps(job, held);
  CloseSelected(job.session);
  return result;
}
