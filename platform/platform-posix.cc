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

#include <string>
#include <vector>

#include "platform/internal.h"
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

/// The pending files, for the handler to remove: fixed buffers, since a
/// signal handler may neither allocate nor lock.  Changed only while the
/// requests to stop are blocked.
char g_pending_temporary[PATH_MAX + 64];
char g_pending_created[PATH_MAX + 64];

/// Copies path into a pending-file buffer; too long, it is not removed.
void SetPending(const std::string& path, char (&buffer)[PATH_MAX + 64]) {
  buffer[0] = '\0';
  if (path.size() < sizeof buffer) memcpy(buffer, path.c_str(), path.size() + 1);
}

void OnStopRequest(int signal_number) {
  if (g_holding) {
    g_stop_requested = 1;
    return;
  }
  // Nothing changes a ROM yet: stop now, as the default action would,
  // without leaving a temporary file, or a file this run made, behind.
  if (g_pending_temporary[0]) unlink(g_pending_temporary);
  if (g_pending_created[0]) unlink(g_pending_created);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
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

std::wstring SystemErrorText(uint32_t code) {
  return ErrorNumberText(static_cast<int>(code));
}

NativePath NativeFromWide(const std::wstring& path) { return Encode(path); }

void SetPendingFiles(const NativePath& temporary, const NativePath& created) {
  SetPending(temporary, g_pending_temporary);
  SetPending(created, g_pending_created);
}

PendingFilesLock::PendingFilesLock() {
  sigset_t stop, before;
  sigemptyset(&stop);
  for (int signal_number : kStopSignals) sigaddset(&stop, signal_number);
  sigprocmask(SIG_BLOCK, &stop, &before);
  for (size_t i = 0; i < sizeof kStopSignals / sizeof kStopSignals[0]; ++i) {
    if (!sigismember(&before, kStopSignals[i])) held_back_ |= 1u << i;
  }
}

PendingFilesLock::~PendingFilesLock() {
  sigset_t blocked;
  sigemptyset(&blocked);
  for (size_t i = 0; i < sizeof kStopSignals / sizeof kStopSignals[0]; ++i) {
    if (held_back_ & (1u << i)) sigaddset(&blocked, kStopSignals[i]);
  }
  sigprocmask(SIG_UNBLOCK, &blocked, nullptr);
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
