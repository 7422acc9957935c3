#include "rom/image_file.h"

#include <errno.h>

#include "device/exit_codes.h"
#include "rom/job.h"

int OpenImageFile(RomJob& job, bool output, platform::OutputFile* file) {
  int error_number = 0;
  if (!platform::CreateOutputFile(job.image_path, file, &error_number)) {
    Event event(EventKind::kFileOpenFailed);
    event.path = job.image_path;
    event.error_number = error_number;
    event.why = platform::ErrorNumberText(error_number);
    event.output = output;
    job.Report(event);
    return kExitFile;
  }
  return 0;
}

int FinishImageFile(RomJob& job, platform::OutputFile* file,
                    const uint8_t* data, uint32_t size) {
  if (!platform::WriteOutputFile(file, data, size) ||
      !platform::CommitOutputFile(file)) {
    const int error_number = errno;
    platform::DiscardOutputFile(file);
    Event event(EventKind::kFileWriteFailed);
    event.path = file->path;
    event.why = platform::ErrorNumberText(error_number);
    job.Report(event);
    return kExitFile;
  }
  return 0;
}
