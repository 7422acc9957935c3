#include "rom/image_file.h"

#include "device/exit_codes.h"
#include "rom/job.h"

using namespace device;

namespace rom {

ExitCode OpenImageFile(RomJob& job, bool output, ImageFile* file) {
  int error_number = 0;
  std::wstring reason;
  if (!platform::OutputFile::Open(job.image_path, file, &error_number,
                                  &reason)) {
    job.report().FileOpenFailed(job.image_path, output, error_number, reason);
    return kExitFile;
  }
  return kExitOk;
}

ExitCode FinishImageFile(RomJob& job, ImageFile* file, const uint8_t* data,
                         uint32_t size) {
  platform::OutputFile& output = **file;
  if (!output.Write(data, size) || !output.Commit()) {
    // Abandoned before the run says so: nothing of it is left behind.
    const std::wstring path = output.path();
    const std::wstring why = output.reason();
    file->reset();
    job.report().FileWriteFailed(path, why);
    return kExitFile;
  }
  return kExitOk;
}

}  // namespace rom
