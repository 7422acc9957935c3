// Windows files.  What is not a disk file (a pipe, a console, a device) is
// refused before it is read.
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <wchar.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/internal.h"

namespace {

/// Opens path for reading as the library opens its inputs ("rb"), as a
/// disk file only.  @return the handle, or INVALID_HANDLE_VALUE with
/// *reason and *not_regular.
HANDLE OpenRegular(const std::wstring& path, std::wstring* reason,
                   bool* not_regular) {
  *not_regular = false;
  // Several processes share one simulated machine: a reader lets another
  // replace the file meanwhile (FILE_SHARE_DELETE), and retries briefly
  // while a replacement is under way, as a POSIX reader never notices one.
  HANDLE file = INVALID_HANDLE_VALUE;
  DWORD error = 0;
  for (int attempt = 0; attempt < 50; ++attempt) {
    file = CreateFileW(path.c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    error = GetLastError();
    if (file != INVALID_HANDLE_VALUE ||
        (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION))
      break;
    Sleep(2);
  }
  if (file == INVALID_HANDLE_VALUE) {
    *reason = platform::SystemErrorText(error);
    // A directory does not open for reading; it is no regular file either.
    DWORD attributes = GetFileAttributesW(path.c_str());
    *not_regular = attributes != INVALID_FILE_ATTRIBUTES &&
                   (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return file;
  }
  // Pipes, consoles and devices such as NUL are not disk files; reading
  // one could wait for ever.
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    *reason = L"not a regular file";
    *not_regular = true;
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

}  // namespace

namespace platform {

const char kPathSeparator = '\\';

std::wstring ErrorNumberText(int error_number) {
  const wchar_t* text = _wcserror(error_number);
  return std::wstring(text ? text : L"error") + L" (errno " +
         std::to_wstring(error_number) + L")";
}

std::wstring SystemErrorText(uint32_t code) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0,
                 nullptr);
  std::wstring result = text ? text : L"";
  if (text) LocalFree(text);
  while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r'))
    result.pop_back();
  return result + L" (error " + std::to_wstring(code) + L")";
}

FILE* OpenNativeRegularFile(const NativePath& path, std::wstring* reason,
                            bool* not_regular) {
  HANDLE handle = OpenRegular(path, reason, not_regular);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    *reason = ErrorNumberText(errno);
    CloseHandle(handle);
    return nullptr;
  }
  FILE* file = _fdopen(fd, "rb");
  if (!file) {
    *reason = ErrorNumberText(errno);
    _close(fd);
  }
  return file;
}

bool ReadNativeInputFile(const NativePath& path, size_t limit,
                         std::vector<uint8_t>* data, std::wstring* reason,
                         bool* not_regular) {
  data->clear();
  HANDLE file = OpenRegular(path, reason, not_regular);
  if (file == INVALID_HANDLE_VALUE) return false;
  uint8_t chunk[4096];
  while (data->size() < limit) {
    size_t wanted = limit - data->size();
    if (wanted > sizeof chunk) wanted = sizeof chunk;
    DWORD n = 0;
    if (!ReadFile(file, chunk, static_cast<DWORD>(wanted), &n, nullptr)) {
      *reason = SystemErrorText(GetLastError());
      CloseHandle(file);
      data->clear();
      return false;
    }
    if (n == 0) break;
    data->insert(data->end(), chunk, chunk + n);
  }
  CloseHandle(file);
  return true;
}

FILE* OpenRegularOutput(const std::string& path, bool append,
                        bool* not_regular) {
  *not_regular = false;
  const std::wstring wide = NativeFromNarrow(path);
  // OPEN_ALWAYS rather than CREATE_ALWAYS: nothing is emptied before it is
  // known to be a disk file.
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD attributes = GetFileAttributesW(wide.c_str());
    *not_regular = attributes != INVALID_FILE_ATTRIBUTES &&
                   (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return nullptr;
  }
  // Pipes, consoles and devices such as NUL are not disk files.
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    *not_regular = true;
    CloseHandle(handle);
    return nullptr;
  }
  if (!append && !SetEndOfFile(handle)) {
    CloseHandle(handle);
    return nullptr;
  }
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                           _O_WRONLY | _O_BINARY | (append ? _O_APPEND : 0));
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FILE* file = _fdopen(fd, append ? "ab" : "wb");
  if (!file) _close(fd);
  return file;
}

FILE* OpenExclusiveAppend(const std::wstring& path, int* error_number) {
  FILE* stream = _wfsopen(path.c_str(), L"a+", _SH_DENYRW);
  if (!stream) *error_number = errno;
  return stream;
}

bool WriteLogText(FILE* stream, const std::wstring& text) {
  // The narrow encoding of the system; what it cannot represent becomes
  // "?" (not a look-alike letter) rather than cutting the record short.
  // A UTF-8 system code page takes neither flags nor a default character.
  const UINT code_page = GetACP();
  const bool utf8 = code_page == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* fallback = utf8 ? nullptr : "?";
  if (text.empty()) return true;
  int size = WideCharToMultiByte(code_page, flags, text.c_str(),
                                 static_cast<int>(text.size()), nullptr, 0,
                                 fallback, nullptr);
  if (size <= 0) return false;
  std::string bytes(static_cast<size_t>(size), '\0');
  size = WideCharToMultiByte(code_page, flags, text.c_str(),
                             static_cast<int>(text.size()), &bytes[0], size,
                             fallback, nullptr);
  if (size <= 0) return false;
  bytes.resize(static_cast<size_t>(size));
  return fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
}

bool PathExists(const std::string& path) {
  return GetFileAttributesW(NativeFromNarrow(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeDirectories(const std::string& path) {
  if (path.empty() || PathExists(path)) return true;
  std::string trimmed = path;
  while (!trimmed.empty() && (trimmed.back() == '/' || trimmed.back() == '\\')) trimmed.pop_back();
  std::string parent = DirectoryOf(trimmed);
  if (parent.size() > 3) MakeDirectories(parent);
  return CreateDirectoryW(NativeFromNarrow(trimmed).c_str(), nullptr) ||
         GetLastError() == ERROR_ALREADY_EXISTS;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool IsAbsolutePath(const std::string& path) {
  if (path.size() >= 1 && (path[0] == '/' || path[0] == '\\')) return true;
  return path.size() >= 3 && path[1] == ':' && (path[2] == '/' || path[2] == '\\');
}

int ProcessLock::TryAcquire(const std::string& path) {
  if (held()) return 0;
  // No sharing: a second opener fails until this handle closes, which
  // Windows does for us when the process ends.
  HANDLE file = CreateFileW(NativeFromNarrow(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
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

}  // namespace platform
