// POSIX input files read by the program itself.  What is not a regular
// file is refused before it is read: opening a FIFO without a writer, or
// reading from it, would wait forever.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "platform/internal.h"
#include "platform/platform.h"

namespace {

/// Opens path for reading without waiting, as a regular file only.
/// @return the descriptor, or -1 with *reason.
int OpenRegular(const std::string& path, std::wstring* reason) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *reason = platform::ErrorNumberText(errno);
    return -1;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    *reason = L"not a regular file";
    return -1;
  }
  return fd;
}

/// The path's bytes in the locale's encoding; false when it has none.
bool Encode(const std::wstring& path, std::string* bytes) {
  mbstate_t state = {};
  const wchar_t* source = path.c_str();
  size_t length = wcsrtombs(nullptr, &source, 0, &state);
  if (length == static_cast<size_t>(-1)) return false;
  bytes->assign(length, '\0');
  state = mbstate_t();
  source = path.c_str();
  wcsrtombs(&(*bytes)[0], &source, length, &state);
  return true;
}

}  // namespace

namespace platform {

bool ProbeReadable(const std::wstring& path, std::wstring* reason) {
  int fd = OpenRegular(NativeFromWide(path), reason);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool ReadInputFile(const std::wstring& path, size_t limit,
                   std::vector<uint8_t>* data, std::wstring* reason) {
  data->clear();
  std::string bytes;
  if (!Encode(path, &bytes)) {
    *reason = ErrorNumberText(EILSEQ);
    return false;
  }
  int fd = OpenRegular(bytes, reason);
  if (fd < 0) return false;
  uint8_t chunk[4096];
  while (data->size() < limit) {
    size_t wanted = limit - data->size();
    if (wanted > sizeof chunk) wanted = sizeof chunk;
    ssize_t n = read(fd, chunk, wanted);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *reason = ErrorNumberText(errno);
      close(fd);
      data->clear();
      return false;
    }
    if (n == 0) break;
    data->insert(data->end(), chunk, chunk + n);
  }
  close(fd);
  return true;
}

}  // namespace platform
