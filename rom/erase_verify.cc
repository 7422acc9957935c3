// /erase and the erase step of the writes; the read-back verification that
// ends every write and /verify.
#include <string.h>

#include "device/exit_codes.h"
#include "device/target.h"
#include "rom/actions.h"
#include "rom/image_source.h"
#include "rom/job.h"
#include "rom/progress.h"

using namespace device;

namespace rom {

namespace {

/// Erases the target's ROM, opening the target unless one is selected.
ExitCode EraseSteps(RomJob& job, bool alone) {
  ExitCode result = OpenTarget(job.session, NO_REVISION);
  if (result != kExitOk) return result;
  if (alone) CheckChosenGeometry(job.session, job.session.devices.open_address);
  // Taken after opening: auto-detection learns the geometry there.
  uint32_t size = ImageSize(job.session.geometry());
  const PciAddress address = job.session.devices.open_address;
  result = RunRomOperation(job.session, address, RomOperation::kErase, size,
                           nullptr, &job.stop);
  if (result != kExitOk) return result;
  // The last poll may have stopped short of 100%; the erase is done.
  job.report().EraseComplete(address);
  return kExitOk;
}

/// Where the ROM and the image part: the first differing offset, both
/// bytes there, and how many bytes differ in all.
VerifyDifference Mismatch(PciAddress address, const uint8_t* rom,
                          const uint8_t* image, uint32_t size) {
  VerifyDifference d = {address, 0, size, size, 0, 0};
  for (uint32_t i = 0; i < size; ++i) {
    if (rom[i] == image[i]) continue;
    if (d.differing++ == 0) d.offset = i;
  }
  if (d.offset < size) {
    d.rom_byte = rom[d.offset];
    d.image_byte = image[d.offset];
  }
  return d;
}

}  // namespace

ExitCode EraseSrom(RomJob& job, bool keep_open) {
  job.stop.Claim(StopScope::kErase);
  const ExitCode result = EraseSteps(job, !keep_open);
  // Inside a write the controller stays open for the write that follows.
  if (!keep_open) CloseSelected(job.session);
  return result;
}

ExitCode VerifySrom(RomJob& job, const uint8_t* expected_image,
                    uint32_t image_size) {
  RomBuffer buffer;
  ExitCode result = AllocateRomBuffer(job.session, image_size, &buffer);
  if (result != kExitOk) return result;
  const PciAddress address = job.session.devices.open_address;
  result = RunRomOperation(job.session, address, RomOperation::kVerifyRead,
                           image_size, buffer.get(), &job.stop);
  if (result != kExitOk) return result;
  if (memcmp(buffer.get(), expected_image, image_size) != 0) {
    job.report().VerifyMismatch(
        Mismatch(address, buffer.get(), expected_image, image_size));
    return kExitVerifyMismatch;
  }
  job.report().VerifyComplete(address);
  return kExitOk;
}

}  // namespace rom
