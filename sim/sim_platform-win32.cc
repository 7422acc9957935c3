// Windows services of the simulator.
#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#include <windows.h>

#include "sim/sim_platform.h"

namespace sim {
namespace {

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n > 0 ? static_cast<size_t>(n) : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

}  // namespace

FILE* OpenFile(const std::string& path, const char* mode) {
  return _wfopen(Utf8ToWide(path).c_str(), Utf8ToWide(mode).c_str());
}

FILE* OpenRegularFile(const std::string& path, bool* not_regular) {
  *not_regular = false;
  // Backup semantics let a directory open too, so that it is refused below
  // as not a regular file rather than as unreadable.
  // Several processes share one machine: a reader lets another process
  // replace the file meanwhile (FILE_SHARE_DELETE), and retries briefly
  // while a replacement is under way, as a POSIX reader never notices one.
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 50; ++attempt) {
    handle = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const DWORD error = GetLastError();
    if (handle != INVALID_HANDLE_VALUE ||
        (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION))
      break;
    Sleep(2);
  }
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  // Pipes, consoles and devices such as NUL are not disk files; reading
  // one could wait for ever.
  BY_HANDLE_FILE_INFORMATION info;
  bool disk = GetFileType(handle) == FILE_TYPE_DISK;
  bool known = disk && GetFileInformationByHandle(handle, &info) != 0;
  bool directory = known && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!known || directory) {
    *not_regular = !disk || directory;
    CloseHandle(handle);
    return nullptr;
  }
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FILE* file = _fdopen(fd, "rb");
  if (!file) _close(fd);
  return file;
}

void PrintDiagnostic(const std::string& utf8_line) {
  // Straight to the handle: the program may have put the shared C runtime's
  // stderr in a wide or UTF-8 text mode, where narrow text comes out as
  // garbage.  A console takes UTF-16 whatever its code page; files and
  // pipes get UTF-8 with the Windows line end.
  HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  fflush(stderr);
  std::string text = utf8_line + "\r\n";
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(handle, &mode)) {
    std::wstring wide = Utf8ToWide(text);
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  size_t done = 0;
  while (done < text.size()) {
    if (!WriteFile(handle, text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                   nullptr) ||
        written == 0) {
      return;
    }
    done += written;
  }
}

bool PathExists(const std::string& path) {
  return GetFileAttributesW(Utf8ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeDirectories(const std::string& path) {
  if (path.empty() || PathExists(path)) return true;
  std::string trimmed = path;
  while (!trimmed.empty() && (trimmed.back() == '/' || trimmed.back() == '\\')) trimmed.pop_back();
  std::string parent = DirectoryOf(trimmed);
  if (parent.size() > 3) MakeDirectories(parent);
  return CreateDirectoryW(Utf8ToWide(trimmed).c_str(), nullptr) ||
         GetLastError() == ERROR_ALREADY_EXISTS;
}

bool GetEnvironment(const char* name, std::string* value) {
  const wchar_t* text = _wgetenv(Utf8ToWide(name).c_str());
  if (!text) return false;
  *value = WideToUtf8(text);
  return true;
}

std::string UserStateDirectory() {
  std::string base;
  if (GetEnvironment("LOCALAPPDATA", &base) && !base.empty()) return base;
  return "";
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool IsAbsolutePath(const std::string& path) {
  if (path.size() >= 1 && (path[0] == '/' || path[0] == '\\')) return true;
  return path.size() >= 3 && path[1] == ':' && (path[2] == '/' || path[2] == '\\');
}

void* LoadLibraryAt(const std::string& path, std::string* reason) {
  // By full path, its own dependencies from its folder and System32.
  HMODULE module = LoadLibraryExW(Utf8ToWide(path).c_str(), nullptr,
                                  LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) *reason = "cannot be loaded (error " + std::to_string(GetLastError()) + ")";
  return reinterpret_cast<void*>(module);
}

void* LibraryExport(void* handle, int ordinal, const char*) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle),
                                                MAKEINTRESOURCEA(ordinal)));
}

std::string ModuleDirectory() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&ModuleDirectory)),
                          &module))
    return "";
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return "";
  return DirectoryOf(WideToUtf8(path));
}

ProcessLock::~ProcessLock() { Release(); }

int ProcessLock::TryAcquire(const std::string& path) {
  if (held()) return 0;
  // No sharing: a second opener fails until this handle closes, which
  // Windows does for us when the process ends.
  HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) ? 1 : -1;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  return 0;
}

void ProcessLock::Release() {
  if (!held()) return;
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNone;
}

}  // namespace sim
