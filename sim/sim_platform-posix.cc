// POSIX services of the simulator.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sim/sim_platform.h"

namespace sim {

FILE* OpenRegularFile(const std::string& path, bool* not_regular) {
  *not_regular = false;
  // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer, so
  // fstat can turn it away.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  bool stated = fstat(fd, &st) == 0;
  if (!stated || !S_ISREG(st.st_mode)) {
    *not_regular = stated;
    close(fd);
    return nullptr;
  }
  FILE* file = fdopen(fd, "rb");
  if (!file) close(fd);
  return file;
}

FILE* OpenRegularOutput(const std::string& path, bool append, bool* not_regular) {
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

void PrintDiagnostic(const std::string& utf8_line) {
  // Past the C stream: a stream the program made wide-oriented would refuse
  // narrow output.  Whatever the stream still buffers goes out first.
  fflush(stderr);
  std::string text = utf8_line + "\n";
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
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

bool GetEnvironment(const char* name, std::string* value) {
  const char* text = getenv(name);
  if (!text) return false;
  *value = text;
  return true;
}

std::string UserStateDirectory() {
  std::string base;
  if (GetEnvironment("XDG_STATE_HOME", &base) && IsAbsolutePath(base)) return base;
  std::string home;
  if (!GetEnvironment("HOME", &home) || home.empty()) return "";
  return home + "/.local/state";
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool IsAbsolutePath(const std::string& path) {
  return !path.empty() && path[0] == '/';
}

void* LoadLibraryAt(const std::string& path, std::string* reason) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* error = dlerror();
    *reason = error ? error : "cannot be loaded";
  }
  return handle;
}

void* LibraryExport(void* handle, int, const char* name) {
  return dlsym(handle, name);
}

std::string ModuleDirectory() {
  Dl_info info = {};
  if (!dladdr(reinterpret_cast<void*>(&ModuleDirectory), &info) ||
      !info.dli_fname)
    return "";
  return DirectoryOf(info.dli_fname);
}

ProcessLock::~ProcessLock() { Release(); }

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

}  // namespace sim
