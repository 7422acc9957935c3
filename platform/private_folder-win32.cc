// Windows: a random name in the user's temporary folder, made with
// CreateDirectoryW, which fails on anything that stands there already
// (a folder, a file, a junction); the folder inherits %TEMP%'s access,
// which is the user's own.
#define _CRT_RAND_S
#include <stdlib.h>
#include <windows.h>

#include "platform/private_folder.h"
#include "platform/text.h"

namespace platform {

bool MakePrivateFolder(const std::string& prefix, std::string* path,
                       std::wstring* reason) {
  wchar_t base[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, base);
  if (length == 0 || length > MAX_PATH) {
    *reason = L"no temporary folder: error " + std::to_wstring(GetLastError());
    return false;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned int high = 0, low = 0;
    if (rand_s(&high) != 0 || rand_s(&low) != 0) break;
    wchar_t suffix[24];
    swprintf(suffix, 24, L"-%08x%08x", high, low);
    const std::wstring name = std::wstring(base) + WideFromUtf8(prefix) + suffix;
    if (CreateDirectoryW(name.c_str(), nullptr)) {
      *path = Utf8FromWide(name);
      return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      *reason = L"cannot make a private folder in " + std::wstring(base) + L": error " +
                std::to_wstring(GetLastError());
      return false;
    }
  }
  *reason = L"cannot make a private folder in " + std::wstring(base);
  return false;
}

void RemovePrivateFolder(const std::string& path) {
  if (path.empty()) return;
  const std::wstring folder = WideFromUtf8(path);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") DeleteFileW((folder + L"\\" + name).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace platform
