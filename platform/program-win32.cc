// Windows facts about the running program.
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/internal.h"
#include "platform/program.h"
#include "platform/text.h"

namespace {

/// GetModuleFileNameW's buffer, in characters.
const DWORD kPathCapacity = 260;

/// A function that module exports, as type F.
template <typename F>
F ExportOf(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(
      GetProcAddress(module, name)));
}

/// version.dll's three functions, loaded from System32 at run time (a
/// static import would be looked for beside the executable first).
struct VersionFunctions {
  decltype(&GetFileVersionInfoSizeW) info_size = nullptr;
  decltype(&GetFileVersionInfoW) info = nullptr;
  decltype(&VerQueryValueW) query = nullptr;
};

bool LoadVersionFunctions(VersionFunctions* functions) {
  HMODULE module = static_cast<HMODULE>(
      platform::LoadByFullPath(platform::SystemDirectory() + L"\\version.dll"));
  if (!module) return false;
  functions->info_size = ExportOf<decltype(&GetFileVersionInfoSizeW)>(
      module, "GetFileVersionInfoSizeW");
  functions->info =
      ExportOf<decltype(&GetFileVersionInfoW)>(module, "GetFileVersionInfoW");
  functions->query =
      ExportOf<decltype(&VerQueryValueW)>(module, "VerQueryValueW");
  return functions->info_size && functions->info && functions->query;
}

}  // namespace

namespace platform {

bool ExecutablePath(std::wstring* path) {
  wchar_t buffer[kPathCapacity];
  DWORD n = GetModuleFileNameW(nullptr, buffer, kPathCapacity);
  if (n == 0 || n >= kPathCapacity) return false;
  path->assign(buffer, n);
  return true;
}

int RecordedOriginalFilename(std::wstring* name) {
  wchar_t path[kPathCapacity];
  DWORD n = GetModuleFileNameW(nullptr, path, kPathCapacity);
  if (n == 0 || n >= kPathCapacity) return -1;
  VersionFunctions version;
  if (!LoadVersionFunctions(&version)) return -1;
  DWORD ignored = 0;
  DWORD size = version.info_size(path, &ignored);
  if (size == 0) return -1;
  std::vector<BYTE> block;
  try {
    block.resize(size);
  } catch (...) {
    return -2;
  }
  if (!version.info(path, 0, size, block.data())) return -1;
  struct Translation {
    WORD language;
    WORD code_page;
  }* translation = nullptr;
  UINT length = 0;
  if (!version.query(block.data(), L"\\VarFileInfo\\Translation",
                     reinterpret_cast<void**>(&translation), &length) ||
      length < sizeof(Translation)) {
    return -1;
  }
  wchar_t query[256];
  _snwprintf(query, 255, L"\\StringFileInfo\\%04x%04x\\OriginalFilename",
             translation->language, translation->code_page);
  query[255] = L'\0';
  wchar_t* value = nullptr;
  if (!version.query(block.data(), query, reinterpret_cast<void**>(&value),
                     &length) ||
      length >= 256) {
    return -1;
  }
  name->assign(value, wcsnlen(value, length));
  return 0;
}

void HardenProcess() {
  // The program runs as an administrator: no library may come from the
  // current directory or PATH.  SetDefaultDllDirectories is missing on
  // an unpatched Windows 7, where SetDllDirectory at least drops the
  // current directory.
  SetDllDirectoryW(L"");
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  auto set_default = ExportOf<SetDefaultDllDirectoriesFn>(
      GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
  g_library_search_flags =
      set_default && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32) != 0;
}

void SleepMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }

bool GetEnvironment(const char* name, std::string* value) {
  const wchar_t* text = _wgetenv(WideFromUtf8(name).c_str());
  if (!text) return false;
  *value = Utf8FromWide(text);
  return true;
}

std::string UserStateDirectory() {
  std::string base;
  if (GetEnvironment("LOCALAPPDATA", &base) && !base.empty()) return base;
  return "";
}

}  // namespace platform
