#include "rom/image_file.h"

#include "device/exit_codes.h"
#include "rom/job.h"

int OpenImageFile(RomJob& job, bool output, ImageFile* file) {
  int error_number = 0;
  std::wstring reason;
  if (!platform::OutputFile::Open(job.image_path, file, &error_number,
                                  &reason)) {
    Event event(EventKind::kFileOpenFailed);
    event.path = job.image_path;
    event.error_number = error_number;
    event.why = reason;
    event.output = output;
    job.Report(event);
    return kExitFile;
  }
  return 0;
}

int FinishImageFile(RomJob& job, ImageFile* file, const uint8_t* data,
                    uint32_t size) {
  platform::OutputFile& output = **file;
  if (!output.Write(data, size) || !output.Commit()) {
    // Abandoned before the run says so: nothing of it is left behind.
    Event event(EventKind::kFileWriteFailed);
    event.path = output.path();
    event.why = output.reason();
    file->reset();
    job.Report(event);
    return kExitFile;
  }
  return 0;
}
