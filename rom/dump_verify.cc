// /dump saves the ROM to a file; /verify compares the ROM with the image
// that /write would put there.  Neither changes the ROM.
#include "device/session.h"
#include "device/target.h"
#include "rom/actions.h"
#include "rom/image_file.h"
#include "rom/image_source.h"
#include "rom/job.h"
#include "rom/progress.h"

using namespace device;

namespace rom {

namespace {

ExitCode DumpSteps(RomJob& job, RomBuffer& buffer, ImageFile& file) {
  DeviceSession& session = job.session;
  ExitCode result = OpenTarget(session, NO_REVISION);
  if (result != kExitOk) return result;
  const uint32_t size = ImageSize(session.geometry());
  if ((result = AllocateRomBuffer(session, size, &buffer)) != kExitOk)
    return result;
  const PciAddress address = session.devices.open_address;
  result = RunRomOperation(session, address, RomOperation::kDumpRead, size,
                           buffer.get(), &job.stop);
  if (result != kExitOk) return result;
  job.report().ReadComplete(address);
  // The file is created only now, so a failed read leaves no trace of it.
  if ((result = OpenImageFile(job, false, &file)) != kExitOk) return result;
  if ((result = FinishImageFile(job, &file, buffer.get(), size)) != kExitOk)
    return result;
  job.report().DumpComplete(job.image_path);
  return kExitOk;
}

ExitCode VerifySteps(RomJob& job, PreparedImage& image) {
  DeviceSession& session = job.session;
  const bool automatic = session.rom_type_selector == kRomTypeAuto;
  ExitCode result = kExitOk;
  if (automatic && (result = OpenTarget(session, NO_REVISION)) != kExitOk)
    return result;
  result = PrepareImage(job, &session.geometry(),
                        automatic ? RevisionCheck::kSelected
                                  : RevisionCheck::kByCaller,
                        &image);
  if (result != kExitOk) return result;
  if (!automatic && (result = OpenTarget(session, image.revision)) != kExitOk)
    return result;
  return VerifySrom(job, image.bytes.get(), image.size);
}

}  // namespace

ExitCode DumpAction(RomJob& job) {
  SelectedControllerGuard guard(job.session);
  RomBuffer buffer;
  ImageFile file;
  return DumpSteps(job, buffer, file);
}

ExitCode VerifyAction(RomJob& job) {
  SelectedControllerGuard guard(job.session);
  PreparedImage image;
  return VerifySteps(job, image);
}

}  // namespace rom
