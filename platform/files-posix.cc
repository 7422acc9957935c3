// POSIX files.  What is not a regular file is refused before it is read:
// opening a FIFO without a writer, or reading from it, would wait forever.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/internal.h"
#include "platform/text.h"

namespace {

/// Opens path for reading without waiting, as a regular file only.
/// @return the descriptor, or -1 with *reason and *not_regular.
int OpenRegular(const std::string& path, std::wstring* reason,
                bool* not_regular) {
  *not_regular = false;
  // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer, so
  // fstat can turn it away.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *reason = platform::ErrorNumberText(errno);
    return -1;
  }
  struct stat info;
  bool stated = fstat(fd, &info) == 0;
  if (!stated || !S_ISREG(info.st_mode)) {
    close(fd);
    *reason = L"not a regular file";
    *not_regular = stated;
    return -1;
  }
  return fd;
}

}  // namespace

namespace platform {

const char kPathSeparator = '/';

std::wstring ErrorNumberText(int error_number) {
  std::wstring text;
  if (!WideFromLocale(strerror(error_number), &text)) text = L"error";
  return text + L" (errno " + std::to_wstring(error_number) + L")";
}

std::wstring SystemErrorText(uint32_t code) {
  return ErrorNumberText(static_cast<int>(code));
}

FILE* OpenNativeRegularFile(const NativePath& path, std::wstring* reason,
                            bool* not_regular) {
  int fd = OpenRegular(path, reason, not_regular);
  if (fd < 0) return nullptr;
  FILE* file = fdopen(fd, "rb");
  if (!file) {
    *reason = ErrorNumberText(errno);
    close(fd);
  }
  return file;
}

bool ReadNativeInputFile(const NativePath& path, size_t limit,
                         std::vector<uint8_t>* data, std::wstring* reason,
                         bool* not_regular) {
  data->clear();
  int fd = OpenRegular(path, reason, not_regular);
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

FILE* OpenRegularOutput(const std::string& path, bool append,
                        bool* not_regular) {
  *not_regular = false;
  // O_NONBLOCK: a FIFO without a reader fails at once (ENXIO) instead of
  // waiting for one; with a reader it opens, and fstat turns it away.
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | (append ? O_APPEND : 0),
                0644);
  if (fd < 0) {
    *not_regular = errno == ENXIO || errno == EISDIR;
    return nullptr;
  }
  struct stat st;
  bool stated = fstat(fd, &st) == 0;
  // Emptied only once known to be a plain file.
  if (!stated || !S_ISREG(st.st_mode) || (!append && ftruncate(fd, 0) != 0)) {
    *not_regular = stated && !S_ISREG(st.st_mode);
    close(fd);
    return nullptr;
  }
  FILE* file = fdopen(fd, append ? "ab" : "wb");
  if (!file) close(fd);
  return file;
}

FILE* OpenExclusiveAppend(const std::wstring& path, int* error_number) {
  FILE* stream = fopen(NativeFromWide(path).c_str(), "a+");
  if (!stream) {
    *error_number = errno;
    return nullptr;
  }
  // Another run holding the file is refused as access denied, as the
  // exclusive open of Windows refuses it.
  if (flock(fileno(stream), LOCK_EX | LOCK_NB) != 0) {
    *error_number = errno == EWOULDBLOCK ? EACCES : errno;
    fclose(stream);
    return nullptr;
  }
  return stream;
}

bool WriteLogText(FILE* stream, const std::wstring& text) {
  std::string bytes = Utf8FromWide(text);
  return fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
}

bool PathExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

bool MakeDirectories(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    if (!prefix.empty() && mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  return PathExists(path);
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool IsAbsolutePath(const std::string& path) {
  return !path.empty() && path[0] == '/';
}

int ProcessLock::TryAcquire(const std::string& path) {
  if (held()) return 0;
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  // A record lock dies with its process, so a killed run frees the
  // controller without any cleanup.
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  if (fcntl(fd, F_SETLK, &lock) != 0) {
    int error = errno;
    close(fd);
    return (error == EACCES || error == EAGAIN) ? 1 : -1;
  }
  handle_ = fd;
  return 0;
}

void ProcessLock::Release() {
  if (!held()) return;
  close(static_cast<int>(handle_));
  handle_ = kNone;
}

}  // namespace platform
