// /erase and the erase step of the writes; the read-back verification that
// ends every write and /verify.
#include <string.h>

#include "device/exit_codes.h"
#include "device/target.h"
#include "rom/actions.h"
#include "rom/image_source.h"
#include "rom/job.h"
#include "rom/progress.h"

namespace {

/// Erases the target's ROM, opening the target unless one is selected.
int EraseSteps(RomJob& job, bool alone) {
  int result = OpenTarget(job.session, NO_REVISION);
  if (result != 0) return result;
  if (alone) CheckChosenGeometry(job.session, job.session.devices.open_address);
  // Taken after opening: auto-detection learns the geometry there.
  uint32_t size = ImageSize(job.session.geometry());
  const PciAddress address = job.session.devices.open_address;
  result = RunRomOperation(job.session, address, RomOperation::kErase, size,
                           nullptr, &job.stop);
  if (result != 0) return result;
  // The last poll may have stopped short of 100%; the erase is done.
  Event event(EventKind::kEraseComplete);
  event.address = address;
  job.Report(event);
  return 0;
}

/// Where the ROM and the image part: the first differing offset, both
/// bytes there, and how many bytes differ in all.
Event Mismatch(PciAddress address, const uint8_t* rom, const uint8_t* image,
               uint32_t size) {
  Event event(EventKind::kVerifyMismatch);
  event.address = address;
  event.total = size;
  event.offset = size;
  for (uint32_t i = 0; i < size; ++i) {
    if (rom[i] == image[i]) continue;
    if (event.count++ == 0) event.offset = i;
  }
  if (event.offset < size) {
    event.rom_byte = rom[event.offset];
    event.image_byte = image[event.offset];
  }
  return event;
}

}  // namespace

int EraseSrom(RomJob& job, bool keep_open) {
  job.stop.Claim(StopScope::kErase);
  int result = EraseSteps(job, !keep_open);
  // Inside a write the controller stays open for the write that follows.
  if (!keep_open) CloseSelected(job.session);
  return result;
}

int VerifySrom(RomJob& job, const uint8_t* expected_image,
               uint32_t image_size) {
  RomBuffer buffer;
  int result = AllocateRomBuffer(job.session, image_size, &buffer);
  if (result != 0) return result;
  const PciAddress address = job.session.devices.open_address;
  result = RunRomOperation(job.session, address, RomOperation::kVerifyRead,
                           image_size, buffer.get(), &job.stop);
  if (result != 0) return result;
  if (memcmp(buffer.get(), expected_image, image_size) != 0) {
    job.Report(Mismatch(address, buffer.get(), expected_image, image_size));
    return kExitVerifyMismatch;
  }
  Event event(EventKind::kVerifyComplete);
  event.address = address;
  job.Report(event);
  return 0;
}
