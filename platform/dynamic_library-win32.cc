// Windows libraries: loaded by full path only, exports by ordinal.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/files.h"
#include "platform/internal.h"
#include "platform/program.h"
#include "platform/text.h"

namespace {

/// GetSystemDirectoryW's buffer, in characters.
const UINT kPathCapacity = 260;

/// The directory part of path, with its separator ("" for a bare name).
std::wstring DirectoryOfWide(const std::wstring& path) {
  size_t at = path.find_last_of(L"\\/:");
  return at == std::wstring::npos ? L"" : path.substr(0, at + 1);
}

}  // namespace

namespace platform {

bool g_library_search_flags = false;

std::wstring SystemDirectory() {
  wchar_t buffer[kPathCapacity];
  UINT n = GetSystemDirectoryW(buffer, kPathCapacity);
  return n > 0 && n < kPathCapacity ? std::wstring(buffer, n) : L"";
}

void* LoadByFullPath(const std::wstring& path) {
  return reinterpret_cast<void*>(LoadLibraryExW(
      path.c_str(), nullptr,
      g_library_search_flags ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR |
                                   LOAD_LIBRARY_SEARCH_SYSTEM32
                             : LOAD_WITH_ALTERED_SEARCH_PATH));
}

void* LoadLibraryBesideProgram(const std::wstring& file_name,
                               std::wstring* reason) {
  // Where an administrator puts it: beside the executable, or System32.
  std::wstring executable;
  std::vector<std::wstring> candidates;
  if (ExecutablePath(&executable))
    candidates.push_back(DirectoryOfWide(executable) + file_name);
  std::wstring system = SystemDirectory();
  if (!system.empty()) candidates.push_back(system + L"\\" + file_name);
  std::wstring tried;
  for (const std::wstring& candidate : candidates) {
    void* module = LoadByFullPath(candidate);
    if (module) return module;
    DWORD error = GetLastError();
    std::wstring why = SystemErrorText(error);
    if (error == ERROR_BAD_EXE_FORMAT) {
      why += sizeof(void*) == 8
                 ? L": the library is built for another processor type; "
                   L"this program is 64-bit and needs a 64-bit " +
                       file_name
                 : L": the library is built for another processor type; "
                   L"this program is 32-bit and needs a 32-bit " +
                       file_name;
    }
    tried += (tried.empty() ? L"" : L"; ") + candidate + L": " + why;
  }
  *reason = L"cannot load " + file_name + L": " + tried;
  return nullptr;
}

void* LoadLibraryAt(const std::string& path, std::string* reason) {
  // By full path, its own dependencies from its folder and System32.
  void* module = LoadByFullPath(NativeFromNarrow(path));
  if (!module) *reason = "cannot be loaded (error " + std::to_string(GetLastError()) + ")";
  return module;
}

void* LibraryExport(void* handle, int ordinal, const char*) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle),
                                                MAKEINTRESOURCEA(ordinal)));
}

void UnloadLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }

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
  return DirectoryOf(Utf8FromWide(path));
}

}  // namespace platform
