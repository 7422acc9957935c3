// POSIX output files.  The kernel decides at the first open, as it does
// for "wb": who may write there, and whether a link in a sticky directory
// may be followed.  What that open reached is then found again through
// its directory's descriptor, never by resolving links here.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/internal.h"
#include "platform/output_file.h"

namespace platform {

struct OutputFile::State {
  int file = -1;               ///< What the first open reached.
  int directory = -1;          ///< Its directory, when it is replaced whole.
  std::string final_path;      ///< Its name, through the directory's descriptor.
  int temporary = -1;          ///< Where the data goes meanwhile, or -1.
  std::string temporary_path;  ///< Its name, likewise.
  bool created = false;        ///< The first open made the file.
  dev_t device = 0;            ///< What the first open reached, to know
  ino_t inode = 0;             ///< it again by its name.
  bool failed = false;         ///< A write failed: nothing to commit.
};

}  // namespace platform

namespace {

/// Opens path for writing as "wb" does, without truncating.  *created
/// tells whether this open made the file.  *lock, held on entry, is let go
/// where the open may wait (a FIFO's open waits for a reader), and is held
/// again on return.  @return the descriptor, or -1 with errno.
int OpenAsWriting(const std::string& path, bool* created,
                  std::optional<platform::PendingFilesLock>* lock) {
  // O_EXCL tells a file this open makes from one that stood there.  Where
  // something stands (a file, a link, a link to nothing), the open that
  // "wb" does decides, the protections of sticky directories included.
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  *created = fd >= 0;
  if (fd < 0 && errno == EEXIST) {
    struct stat target;
    const bool dangling = stat(path.c_str(), &target) != 0 && errno == ENOENT;
    if (!dangling) lock->reset();
    fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    *created = fd >= 0 && dangling;
    const int error_number = errno;
    if (!*lock) lock->emplace();
    errno = error_number;
  }
  return fd;
}

/// True when path names (without following a last link) the file on
/// device with inode.
bool IsFile(const std::string& path, dev_t device, ino_t inode) {
  struct stat entry;
  return lstat(path.c_str(), &entry) == 0 && entry.st_dev == device &&
         entry.st_ino == inode;
}

/// The directory path through the descriptor dir, with its separator: no
/// link and no renamed directory on the way can lead elsewhere.
std::string ThroughDescriptor(int dir) {
  return "/proc/self/fd/" + std::to_string(dir) + "/";
}

/// Opens the directory that holds the file open as fd (described by info)
/// and sets *name to the file's name in it, checked to be that file.
/// @return the directory's descriptor, or -1 when it cannot be found.
int OpenDirectoryOf(int fd, const struct stat& info, std::string* name) {
  std::vector<char> buffer(PATH_MAX + 1);
  const std::string link = ThroughDescriptor(fd);
  ssize_t n = readlink(link.substr(0, link.size() - 1).c_str(), buffer.data(),
                       buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return -1;
  const std::string real(buffer.data(), static_cast<size_t>(n));
  const size_t slash = real.rfind('/');
  if (real[0] != '/' || slash == std::string::npos) return -1;
  const std::string parent = slash == 0 ? "/" : real.substr(0, slash);
  int dir = open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return -1;
  *name = real.substr(slash + 1);
  if (!IsFile(ThroughDescriptor(dir) + *name, info.st_dev, info.st_ino)) {
    close(dir);
    return -1;
  }
  return dir;
}

/// Creates a new temporary file in the directory prefix (ending with its
/// separator, or empty for the current one) with the mode and owner of
/// like, or what "wb" gives a new file.  @return the descriptor, or -1.
int CreateTemporary(const std::string& prefix, const struct stat* like,
                    std::string* path) {
  // A short name, so any file name that fits fits its temporary too.
  *path = prefix + ".vxsrom-XXXXXX";
  int fd = mkostemp(&(*path)[0], O_CLOEXEC);
  if (fd < 0) return -1;
  if (like) {
    // The new file takes the place of the old: its owner and group where
    // the process may set them (else it belongs to whoever wrote it, as a
    // new file would), then its mode, which a change of owner may clear.
    if (fchown(fd, like->st_uid, like->st_gid) != 0) errno = 0;
    fchmod(fd, like->st_mode & 07777);
  } else {
    // mkstemp's 0600 would make the file private; give it what "wb" does.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  return fd;
}

/// Writes all of data to fd.  @return false with errno.
bool WriteAll(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

/// Closes *fd unless it is -1, and marks it closed.  @return false with
/// errno when the close reported an error.
bool CloseFile(int* fd) {
  if (*fd < 0) return true;
  const bool ok = close(*fd) == 0;
  *fd = -1;
  return ok;
}

}  // namespace

namespace platform {

bool OutputFile::Open(const std::wstring& path,
                      std::unique_ptr<OutputFile>* file, int* error_number,
                      std::wstring* reason) {
  std::unique_ptr<State> state(new State);
  State& s = *state;
  // While the stop requests wait, no file made here can be left behind
  // before it is registered for removal.
  std::optional<PendingFilesLock> lock(std::in_place);
  s.file = OpenAsWriting(NativeFromWide(path), &s.created, &lock);
  if (s.file < 0) {
    *error_number = errno;
    *reason = ErrorNumberText(errno);
    return false;
  }
  // Only a plain file with no other name can be replaced whole; anything
  // else (a device, a FIFO, /dev/stdout, a hard-linked file) is written
  // in place, as "wb" would.
  struct stat info;
  const bool known = fstat(s.file, &info) == 0;
  std::string name;
  if (known) {
    s.device = info.st_dev;
    s.inode = info.st_ino;
  }
  if (known && S_ISREG(info.st_mode) && info.st_nlink == 1)
    s.directory = OpenDirectoryOf(s.file, info, &name);
  if (s.directory >= 0) {
    s.final_path = ThroughDescriptor(s.directory) + name;
    s.temporary = CreateTemporary(ThroughDescriptor(s.directory), &info,
                                  &s.temporary_path);
    if (s.temporary < 0) s.temporary_path.clear();
  }
  SetPendingFiles(s.temporary_path, s.created ? s.final_path : "");
  lock.reset();
  std::unique_ptr<OutputFile> opened(new OutputFile(path, std::move(state)));
  // Written in place, a plain file starts empty, as "wb" leaves it.
  if (s.temporary < 0 && known && S_ISREG(info.st_mode) &&
      ftruncate(s.file, 0) != 0) {
    *error_number = errno;
    *reason = ErrorNumberText(errno);
    return false;  // a file this open made goes with opened
  }
  *file = std::move(opened);
  return true;
}

OutputFile::OutputFile(const std::wstring& path, std::unique_ptr<State> state)
    : path_(path), state_(std::move(state)) {}

OutputFile::~OutputFile() {
  if (state_) Discard();
}

bool OutputFile::Write(const void* data, size_t size) {
  if (!state_ || state_->failed) return false;
  State& s = *state_;
  if (!WriteAll(s.temporary >= 0 ? s.temporary : s.file, data, size)) {
    reason_ = ErrorNumberText(errno);
    s.failed = true;
    return false;
  }
  return true;
}

bool OutputFile::Commit() {
  if (!state_ || state_->failed) return false;
  State& s = *state_;
  bool ok = true;
  int* written = s.temporary >= 0 ? &s.temporary : &s.file;
  struct stat info;
  if (fstat(*written, &info) == 0 && S_ISREG(info.st_mode) &&
      fsync(*written) != 0) {
    ok = false;
    reason_ = ErrorNumberText(errno);
  }
  if (!CloseFile(written) && ok) {
    ok = false;
    reason_ = ErrorNumberText(errno);
  }
  if (ok) {
    PendingFilesLock lock;
    if (!s.temporary_path.empty() &&
        rename(s.temporary_path.c_str(), s.final_path.c_str()) != 0) {
      ok = false;
      reason_ = ErrorNumberText(errno);
    } else {
      SetPendingFiles("", "");
    }
  }
  if (!ok) {
    Discard();
    return false;
  }
  CloseFile(&s.file);
  CloseFile(&s.directory);
  state_.reset();
  return true;
}

void OutputFile::Discard() {
  State& s = *state_;
  PendingFilesLock lock;
  CloseFile(&s.temporary);
  if (!s.temporary_path.empty()) unlink(s.temporary_path.c_str());
  // A file this run made goes too, unless something else took its name.
  if (s.created && !s.final_path.empty() &&
      IsFile(s.final_path, s.device, s.inode))
    unlink(s.final_path.c_str());
  SetPendingFiles("", "");
  CloseFile(&s.file);
  CloseFile(&s.directory);
  state_.reset();
}

bool ReplaceFileAtomically(const std::string& path, const void* data,
                           size_t size) {
  struct stat old;
  const bool exists = stat(path.c_str(), &old) == 0;
  std::string temporary;
  int fd = CreateTemporary(path.substr(0, path.rfind('/') + 1),
                           exists ? &old : nullptr, &temporary);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data, size) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

}  // namespace platform
