// POSIX implementation of the platform layer.
#include <dlfcn.h>
#include <elf.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <locale.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <wchar.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

/// Owner and type of the note that records the executable's name.
const char kNoteOwner[] = "VXSROM";
const uint32_t kNoteOriginalFilename = 1;

/// Decodes bytes with the locale; false when they are not valid text.
bool Decode(const char* text, std::wstring* wide) {
  mbstate_t state = {};
  const char* source = text;
  size_t length = mbsrtowcs(nullptr, &source, 0, &state);
  if (length == static_cast<size_t>(-1)) return false;
  std::vector<wchar_t> buffer(length + 1);
  state = mbstate_t();
  source = text;
  mbsrtowcs(buffer.data(), &source, length + 1, &state);
  wide->assign(buffer.data(), length);
  return true;
}

/// Encodes with the locale; characters it cannot represent become "?".
std::string Encode(const std::wstring& wide) {
  std::string bytes;
  char buffer[MB_LEN_MAX];
  mbstate_t state = {};
  for (wchar_t c : wide) {
    size_t n = wcrtomb(buffer, c, &state);
    if (n == static_cast<size_t>(-1)) {
      bytes += '?';
      state = mbstate_t();
    } else {
      bytes.append(buffer, n);
    }
  }
  return bytes;
}

bool ReadAt(int fd, uint64_t offset, void* buffer, size_t size) {
  return pread(fd, buffer, size, static_cast<off_t>(offset)) ==
         static_cast<ssize_t>(size);
}

/// Looks for the identity note in one SHT_NOTE section's bytes.
int FindNameInNotes(const std::vector<char>& notes, std::string* name) {
  size_t at = 0;
  while (at + 12 <= notes.size()) {
    uint32_t header[3];
    memcpy(header, &notes[at], sizeof header);
    uint64_t name_size = header[0], desc_size = header[1];
    uint64_t name_at = at + 12;
    uint64_t desc_at = name_at + ((name_size + 3) & ~3ull);
    uint64_t next = desc_at + ((desc_size + 3) & ~3ull);
    if (next > notes.size()) return -1;  // malformed
    if (name_size == sizeof kNoteOwner &&
        memcmp(&notes[name_at], kNoteOwner, sizeof kNoteOwner) == 0 &&
        header[2] == kNoteOriginalFilename) {
      const char* desc = &notes[desc_at];
      size_t length = strnlen(desc, desc_size);
      if (length == desc_size || length >= 256) return -1;
      name->assign(desc, length);
      return 0;
    }
    at = next;
  }
  return 1;  // not in this section
}

/// The requests to stop that the program handles.
const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

/// Set while requests to stop are held back, and once one was.
volatile sig_atomic_t g_holding = 0;
volatile sig_atomic_t g_stop_requested = 0;

/// The pending temporary file, for the handler to remove: a fixed buffer,
/// since a signal handler may neither allocate nor lock.
char g_pending[PATH_MAX + 64];
volatile sig_atomic_t g_pending_valid = 0;

void PendingTemporary(const char* path) {
  g_pending_valid = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  if (!path || strlen(path) >= sizeof g_pending) return;
  strcpy(g_pending, path);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  g_pending_valid = 1;
}

void OnStopRequest(int signal_number) {
  if (g_holding) {
    g_stop_requested = 1;
    return;
  }
  // Nothing changes a ROM yet: stop now, as the default action would,
  // without leaving a temporary file behind.
  if (g_pending_valid) unlink(g_pending);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

/// Creates a new temporary file beside final_path (a short name, so any
/// file name that fits fits its temporary too) with the mode of old, or
/// what "wb" gives a new file.  @return the descriptor, or -1.
int CreateTemporaryBeside(const std::string& final_path,
                          const struct stat* old, std::string* temporary) {
  *temporary = final_path.substr(0, final_path.rfind('/') + 1) + ".vxsrom-XXXXXX";
  int fd = mkostemp(&(*temporary)[0], O_CLOEXEC);
  if (fd < 0) return -1;
  if (old) {
    // The new file takes the place of the old: its mode, and its owner
    // and group where the process may set them (else it belongs to
    // whoever wrote it, as a new file would).
    fchmod(fd, old->st_mode & 07777);
    if (fchown(fd, old->st_uid, old->st_gid) != 0) errno = 0;
  } else {
    // mkstemp's 0600 would make the file private; give it what "wb" does.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  return fd;
}

/// The path that creating target would create: target itself, or the end
/// of the chain of symlinks it names, so that the link stays and its
/// target receives the file.  Empty when the chain cannot be followed.
void ResolveDanglingLinks(const std::string& target, std::string* final_path) {
  std::string current = target;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat info;
    if (lstat(current.c_str(), &info) != 0) {
      if (errno == ENOENT) *final_path = current;
      return;
    }
    if (!S_ISLNK(info.st_mode)) return;
    std::vector<char> buffer(PATH_MAX + 1);
    ssize_t n = readlink(current.c_str(), buffer.data(), buffer.size() - 1);
    if (n <= 0) return;
    std::string link(buffer.data(), static_cast<size_t>(n));
    size_t slash = current.rfind('/');
    if (link[0] != '/' && slash != std::string::npos)
      link = current.substr(0, slash + 1) + link;
    current = link;
  }
}

}  // namespace

namespace platform {

const bool kSlashStartsPaths = true;

void InitConsole() {
  // Only the character set matters to the program's text.
  const char* ctype = setlocale(LC_CTYPE, "");
  if (!ctype || !strcmp(ctype, "C") || !strcmp(ctype, "POSIX")) {
    // The C locale knows only ASCII; prefer its UTF-8 form when present.
    setlocale(LC_CTYPE, "C.UTF-8");
  }
}

void WriteConsoleText(FILE* stream, const std::wstring& text) {
  std::string bytes = Encode(text);
  fwrite(bytes.data(), 1, bytes.size(), stream);
}

int DecodeArguments(int argc, char** argv, std::vector<std::wstring>* args) {
  args->clear();
  for (int i = 0; i < argc; ++i) {
    std::wstring arg;
    if (!Decode(argv[i], &arg)) return i;
    args->push_back(arg);
  }
  return -1;
}

bool ExecutablePath(std::wstring* path) {
  std::vector<char> buffer(4096);
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return false;
  buffer[static_cast<size_t>(n)] = '\0';
  return Decode(buffer.data(), path);
}

int RecordedOriginalFilename(std::wstring* name) {
  int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  int result = -1;
  Elf64_Ehdr header;
  if (ReadAt(fd, 0, &header, sizeof header) &&
      memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
      header.e_ident[EI_CLASS] == ELFCLASS64 &&
      header.e_shentsize == sizeof(Elf64_Shdr) && header.e_shnum < 4096) {
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    if (ReadAt(fd, header.e_shoff, sections.data(),
               sections.size() * sizeof(Elf64_Shdr))) {
      for (const Elf64_Shdr& section : sections) {
        if (section.sh_type != SHT_NOTE || section.sh_size > (1u << 20))
          continue;
        std::vector<char> notes(section.sh_size);
        std::string recorded;
        if (!ReadAt(fd, section.sh_offset, notes.data(), notes.size())) break;
        int found = FindNameInNotes(notes, &recorded);
        if (found == 1) continue;
        if (found == 0 && Decode(recorded.c_str(), name)) result = 0;
        break;
      }
    }
  }
  close(fd);
  return result;
}

std::wstring ErrorNumberText(int error_number) {
  std::wstring text;
  if (!Decode(strerror(error_number), &text)) text = L"error";
  return text + L" (errno " + std::to_wstring(error_number) + L")";
}

bool ProbeReadable(const std::wstring& path, std::wstring* reason) {
  // Without blocking: a FIFO must not hold the diagnosis up.
  int fd = open(Encode(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *reason = ErrorNumberText(errno);
    return false;
  }
  struct stat info;
  bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  close(fd);
  if (!regular) *reason = L"not a regular file";
  return regular;
}

FILE* OpenExclusiveAppend(const std::wstring& path, int* error_number) {
  FILE* stream = fopen(Encode(path).c_str(), "a+");
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

bool CreateOutputFile(const std::wstring& path, OutputFile* file,
                      int* error_number) {
  std::string target = Encode(path);
  struct stat info;
  bool exists = stat(target.c_str(), &info) == 0;
  if (exists && S_ISDIR(info.st_mode)) {
    *error_number = EISDIR;
    return false;
  }
  if (exists && access(target.c_str(), W_OK) != 0) {
    *error_number = errno;
    return false;
  }
  // Only a plain file with no other name can be replaced whole; anything
  // else (a device, a FIFO, /dev/stdout, a hard-linked file) is written
  // in place, as "wb" would.
  std::string final_path;
  if (exists && S_ISREG(info.st_mode) && info.st_nlink == 1) {
    char* real = realpath(target.c_str(), nullptr);
    if (real) {
      final_path = real;
      free(real);
    }
  } else if (!exists) {
    ResolveDanglingLinks(target, &final_path);
  }
  int fd = -1;
  std::string temporary;
  if (!final_path.empty())
    fd = CreateTemporaryBeside(final_path, exists ? &info : nullptr, &temporary);
  if (fd < 0) {
    // No temporary file can be made beside it: write in place, with the
    // error that "wb" gives.
    FILE* stream = fopen(target.c_str(), "wbe");
    if (!stream) {
      *error_number = errno;
      return false;
    }
    file->stream = stream;
    file->path = path;
    file->temporary.clear();
    return true;
  }
  file->stream = fdopen(fd, "wb");
  if (!file->stream) {
    *error_number = errno;
    close(fd);
    unlink(temporary.c_str());
    return false;
  }
  PendingTemporary(temporary.c_str());
  file->path = path;
  Decode(final_path.c_str(), &file->path);
  Decode(temporary.c_str(), &file->temporary);
  return true;
}

bool CommitOutputFile(OutputFile* file) {
  if (!file->stream) return false;
  if (file->temporary.empty()) {
    int fd = fileno(file->stream);
    struct stat info;
    bool ok = fflush(file->stream) == 0;
    if (ok && fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
      ok = fsync(fd) == 0;
    ok = fclose(file->stream) == 0 && ok;
    file->stream = nullptr;
    return ok;
  }
  std::string temporary = Encode(file->temporary);
  bool ok = fsync(fileno(file->stream)) == 0;
  ok = fclose(file->stream) == 0 && ok;
  file->stream = nullptr;
  ok = ok && rename(temporary.c_str(), Encode(file->path).c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  PendingTemporary(nullptr);
  return ok;
}

void DiscardOutputFile(OutputFile* file) {
  if (!file->stream) return;
  fclose(file->stream);
  file->stream = nullptr;
  if (file->temporary.empty()) return;
  unlink(Encode(file->temporary).c_str());
  PendingTemporary(nullptr);
}

bool ReplaceFileAtomically(const std::string& path, const void* data,
                           size_t size) {
  struct stat old;
  bool exists = stat(path.c_str(), &old) == 0;
  std::string temporary;
  int fd = CreateTemporaryBeside(path, exists ? &old : nullptr, &temporary);
  if (fd < 0) return false;
  const char* bytes = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bool ok = done == size && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

void HardenProcess() {}

void InstallStopHandlers() {
  signal(SIGPIPE, SIG_IGN);
  struct sigaction action = {};
  action.sa_handler = OnStopRequest;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signal_number : kStopSignals) sigaddset(&action.sa_mask, signal_number);
  for (int signal_number : kStopSignals) sigaction(signal_number, &action, nullptr);
}

void HoldStopRequests() { g_holding = 1; }

bool StopRequested() { return g_stop_requested != 0; }

void SleepMilliseconds(uint32_t milliseconds) {
  struct timespec delay = {static_cast<time_t>(milliseconds / 1000),
                           static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
  }
}

void* LoadControllerLibrary(std::wstring* reason) {
  std::string beside = "libvxctl.so";
  std::vector<char> buffer(4096);
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n > 0) {
    std::string exe(buffer.data(), static_cast<size_t>(n));
    std::string candidate = exe.substr(0, exe.rfind('/') + 1) + "libvxctl.so";
    if (access(candidate.c_str(), F_OK) == 0) beside = candidate;
  }
  void* handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* error = dlerror();
    if (!Decode(error ? error : "cannot load libvxctl.so", reason))
      *reason = L"cannot load libvxctl.so";
  }
  return handle;
}

void* LibraryOperation(void* handle, int, const char* name) {
  return dlsym(handle, name);
}

void UnloadControllerLibrary(void* handle) { dlclose(handle); }

}  // namespace platform
