// Reading a whole input file by its wide path, shared by both platforms:
// the controller library reads the job's inputs itself, but an image
// restored from a file is read by the program.
#include <errno.h>
#include <stdio.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

/// Opens path for binary reading as the library opens its inputs: the
/// wide path itself on Windows, its bytes in the locale's encoding here.
FILE* OpenForReading(const std::wstring& path) {
#ifdef _WIN32
  return _wfopen(path.c_str(), L"rb");
#else
  mbstate_t state = {};
  const wchar_t* source = path.c_str();
  size_t length = wcsrtombs(nullptr, &source, 0, &state);
  if (length == static_cast<size_t>(-1)) {
    errno = EILSEQ;
    return nullptr;
  }
  std::string bytes(length, '\0');
  state = mbstate_t();
  source = path.c_str();
  wcsrtombs(&bytes[0], &source, length, &state);
  return fopen(bytes.c_str(), "rb");
#endif
}

}  // namespace

namespace platform {

bool ReadInputFile(const std::wstring& path, size_t limit,
                   std::vector<uint8_t>* data, std::wstring* reason) {
  data->clear();
  FILE* file = OpenForReading(path);
  if (!file) {
    *reason = ErrorNumberText(errno);
    return false;
  }
  uint8_t chunk[4096];
  while (data->size() < limit) {
    size_t wanted = limit - data->size();
    if (wanted > sizeof chunk) wanted = sizeof chunk;
    size_t n = fread(chunk, 1, wanted, file);
    data->insert(data->end(), chunk, chunk + n);
    if (n < wanted) break;
  }
  // A directory opens on some systems and fails at the first read.
  const bool failed = ferror(file) != 0;
  const int error_number = errno;
  fclose(file);
  if (failed) {
    *reason = ErrorNumberText(error_number);
    data->clear();
    return false;
  }
  return true;
}

}  // namespace platform
