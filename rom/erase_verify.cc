// /erase and the erase step of the writes; the read-back verification that
// ends every write and /verify.
#include <string.h>

#include "device/target.h"
#include "platform/platform.h"
#include "rom/actions.h"
#include "rom/image_source.h"
#include "rom/job.h"
#include "rom/progress.h"

namespace {

/// Erases the target's ROM, opening the target unless one is selected.
int EraseSteps(RomJob& job) {
  int result = OpenTarget(job.session, NO_REVISION);
  if (result != 0) return result;
  // Taken after opening: auto-detection learns the geometry there.
  uint32_t size = ImageSize(job.session.geometry());
  result = RunRomOperation(*job.session.library, job.session.devices.open_address, RomOperation::kErase, size, nullptr, &job.stop);
  if (result != 0) return result;
  // The last poll may have stopped short of 100%; the erase is done.
  platform::Print(L"\rErase Serial ROM....  100%%\n");
  platform::Print(L"Erase complete\n");
  return 0;
}

/// Where the ROM and the image part: the first differing offset, both
/// bytes there, and how many bytes differ in all.
void PrintMismatchReason(PciAddress address, const uint8_t* rom,
                         const uint8_t* image, uint32_t size) {
  uint32_t first = size, differing = 0;
  for (uint32_t i = 0; i < size; ++i) {
    if (rom[i] == image[i]) continue;
    if (differing++ == 0) first = i;
  }
  platform::PrintReason(
      L"%ls: verify mismatch: %u of %u bytes differ, the first at offset "
      L"0x%05X (ROM 0x%02X, image 0x%02X)",
      FormatAddress(address).c_str(), static_cast<unsigned>(differing),
      static_cast<unsigned>(size), static_cast<unsigned>(first),
      static_cast<unsigned>(rom[first]), static_cast<unsigned>(image[first]));
}

}  // namespace

int EraseSrom(RomJob& job, bool keep_open) {
  if (job.stop.text.empty()) {
    job.stop.text =
        L"stop requested: the erase is finished first, then "
        L"the program stops";
  }
  int result = EraseSteps(job);
  // Inside a write the controller stays open for the write that follows.
  if (!keep_open) CloseSelected(job.session);
  return result;
}

int VerifySrom(RomJob& job, const uint8_t* expected_image,
               uint32_t image_size) {
  RomBuffer buffer;
  int result = AllocateRomBuffer(image_size, &buffer);
  if (result != 0) return result;
  result = RunRomOperation(*job.session.library, job.session.devices.open_address, RomOperation::kVerifyRead, image_size,
                           buffer.get(), &job.stop);
  if (result != 0) return result;
  if (memcmp(buffer.get(), expected_image, image_size) != 0) {
    platform::Print(L"\nERROR::Verify mismatch!\n");
    PrintMismatchReason(job.session.devices.open_address, buffer.get(),
                        expected_image, image_size);
    return -8;
  }
  platform::Print(L"\nVerify complete\n");
  return 0;
}
