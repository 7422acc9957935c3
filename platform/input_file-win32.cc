// Windows input files read by the program itself.  What is not a disk
// file (a pipe, a console, a device) is refused before it is read.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/internal.h"
#include "platform/platform.h"

namespace {

/// Opens path for reading as the library opens its inputs ("rb"), as a
/// disk file only.  @return the handle, or INVALID_HANDLE_VALUE with
/// *reason.
HANDLE OpenRegular(const std::wstring& path, std::wstring* reason) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *reason = platform::SystemErrorText(GetLastError());
    return file;
  }
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    *reason = L"not a regular file";
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

}  // namespace

namespace platform {

bool ProbeReadable(const std::wstring& path, std::wstring* reason) {
  HANDLE file = OpenRegular(path, reason);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

bool ReadInputFile(const std::wstring& path, size_t limit,
                   std::vector<uint8_t>* data, std::wstring* reason) {
  data->clear();
  HANDLE file = OpenRegular(path, reason);
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

}  // namespace platform
