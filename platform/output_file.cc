// The parts of output-file handling that both platforms share.
#include "platform/platform.h"

namespace platform {

OutputFile::~OutputFile() { DiscardOutputFile(this); }

bool WriteOutputFile(OutputFile* file, const void* data, size_t size) {
  return file->stream && fwrite(data, 1, size, file->stream) == size &&
         fflush(file->stream) == 0;
}

}  // namespace platform
