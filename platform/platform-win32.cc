// Windows implementation of the platform layer.
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <sys/stat.h>
#include <wchar.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/internal.h"
#include "platform/platform.h"

namespace {

/// GetModuleFileNameW's buffer, in characters.
const DWORD kPathCapacity = 260;

std::wstring LastErrorText() {
  wchar_t* text = nullptr;
  DWORD error = GetLastError();
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0,
                 nullptr);
  std::wstring result = text ? text : L"";
  if (text) LocalFree(text);
  while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r'))
    result.pop_back();
  return result + L" (error " + std::to_wstring(error) + L")";
}

/// What GetLastError says of error, with its number.
std::wstring ErrorText(DWORD error) {
  SetLastError(error);
  return LastErrorText();
}

/// System32, without a trailing separator.
std::wstring SystemDirectory() {
  wchar_t buffer[kPathCapacity];
  UINT n = GetSystemDirectoryW(buffer, kPathCapacity);
  return n > 0 && n < kPathCapacity ? std::wstring(buffer, n) : L"";
}

/// The directory part of path, with its separator ("" for a bare name).
std::wstring DirectoryOf(const std::wstring& path) {
  size_t at = path.find_last_of(L"\\/:");
  return at == std::wstring::npos ? L"" : path.substr(0, at + 1);
}

/// Set by HardenProcess when LoadLibraryExW takes the search flags.
bool g_search_flags = false;

/// Loads a library named by full path: its own dependencies come from its
/// directory and System32, never from the current directory or PATH.
HMODULE LoadByFullPath(const std::wstring& path) {
  return LoadLibraryExW(path.c_str(), nullptr,
                        g_search_flags ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR |
                                             LOAD_LIBRARY_SEARCH_SYSTEM32
                                       : LOAD_WITH_ALTERED_SEARCH_PATH);
}

/// version.dll's three functions, loaded from System32 at run time (a
/// static import would be looked for beside the executable first).
struct VersionFunctions {
  decltype(&GetFileVersionInfoSizeW) info_size = nullptr;
  decltype(&GetFileVersionInfoW) info = nullptr;
  decltype(&VerQueryValueW) query = nullptr;
};

/// A function that module exports, as type F.
template <typename F>
F ExportOf(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(
      GetProcAddress(module, name)));
}

bool LoadVersionFunctions(VersionFunctions* functions) {
  HMODULE module = LoadByFullPath(SystemDirectory() + L"\\version.dll");
  if (!module) return false;
  functions->info_size = ExportOf<decltype(&GetFileVersionInfoSizeW)>(
      module, "GetFileVersionInfoSizeW");
  functions->info =
      ExportOf<decltype(&GetFileVersionInfoW)>(module, "GetFileVersionInfoW");
  functions->query =
      ExportOf<decltype(&VerQueryValueW)>(module, "VerQueryValueW");
  return functions->info_size && functions->info && functions->query;
}

/// Requests to stop: held back once a ROM starts changing.
volatile LONG g_holding = 0;
volatile LONG g_stop_requested = 0;

/// The pending files, shared with the control handler, which runs on a
/// thread of its own.
SRWLOCK g_pending_lock = SRWLOCK_INIT;
std::wstring g_pending_temporary;
std::wstring g_pending_created;

/// The status of a process ended by Ctrl-C.
const UINT kControlCExit = 0xC000013A;

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (InterlockedCompareExchange(&g_holding, 0, 0)) {
    InterlockedExchange(&g_stop_requested, 1);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    // Close, logoff, shutdown: the system ends the process when this
    // returns, or after a few seconds anyway.  Keep it alive for as long
    // as the system allows; the run's own end ends the process sooner.
    Sleep(INFINITE);
    return TRUE;
  }
  // Nothing changes a ROM yet: end the process, without a temporary file
  // or a file this run made left behind.  The lock is kept, so the run
  // cannot move a file into place meanwhile.  The status is set here: the
  // default handler leaves it to the system, and some report success.
  AcquireSRWLockExclusive(&g_pending_lock);
  if (!g_pending_temporary.empty()) DeleteFileW(g_pending_temporary.c_str());
  if (!g_pending_created.empty()) DeleteFileW(g_pending_created.c_str());
  TerminateProcess(GetCurrentProcess(), kControlCExit);
  return TRUE;
}

}  // namespace

namespace platform {

const bool kSlashStartsPaths = false;

void InitConsole() {
  // UTF-8 to pipes and files, wide characters to a console: every
  // character of an argument or path prints as it is.
  _setmode(_fileno(stdout), _O_U8TEXT);
  _setmode(_fileno(stderr), _O_U8TEXT);
}

void WriteConsoleText(FILE* stream, const std::wstring& text) {
  fputws(text.c_str(), stream);
}

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

std::wstring ErrorNumberText(int error_number) {
  const wchar_t* text = _wcserror(error_number);
  return std::wstring(text ? text : L"error") + L" (errno " +
         std::to_wstring(error_number) + L")";
}

std::wstring SystemErrorText(uint32_t code) { return ErrorText(code); }

NativePath NativeFromWide(const std::wstring& path) { return path; }

void SetPendingFiles(const NativePath& temporary, const NativePath& created) {
  g_pending_temporary = temporary;
  g_pending_created = created;
}

PendingFilesLock::PendingFilesLock() {
  AcquireSRWLockExclusive(&g_pending_lock);
}

PendingFilesLock::~PendingFilesLock() {
  ReleaseSRWLockExclusive(&g_pending_lock);
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

void HardenProcess() {
  // The program runs as an administrator: no library may come from the
  // current directory or PATH.  SetDefaultDllDirectories is missing on
  // an unpatched Windows 7, where SetDllDirectory at least drops the
  // current directory.
  SetDllDirectoryW(L"");
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  auto set_default = ExportOf<SetDefaultDllDirectoriesFn>(
      GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
  g_search_flags =
      set_default && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32) != 0;
}

void InstallStopHandlers() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

void HoldStopRequests() { InterlockedExchange(&g_holding, 1); }

bool StopRequested() {
  return InterlockedCompareExchange(&g_stop_requested, 0, 0) != 0;
}

void SleepMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }

void* LoadControllerLibrary(std::wstring* reason) {
  // Where an administrator puts it: beside the executable, or System32.
  std::wstring executable;
  std::vector<std::wstring> candidates;
  if (ExecutablePath(&executable))
    candidates.push_back(DirectoryOf(executable) + L"vxctl.dll");
  std::wstring system = SystemDirectory();
  if (!system.empty()) candidates.push_back(system + L"\\vxctl.dll");
  std::wstring tried;
  for (const std::wstring& candidate : candidates) {
    HMODULE module = LoadByFullPath(candidate);
    if (module) return reinterpret_cast<void*>(module);
    DWORD error = GetLastError();
    std::wstring why = ErrorText(error);
    if (error == ERROR_BAD_EXE_FORMAT) {
      why += sizeof(void*) == 8
                 ? L": the library is built for another processor type "
                   L"than this 64-bit vxsrom (a 32-bit library needs the "
                   L"32-bit vxsrom)"
                 : L": the library is built for another processor type "
                   L"than this 32-bit vxsrom (a 64-bit library needs the "
                   L"64-bit vxsrom)";
    }
    tried += (tried.empty() ? L"" : L"; ") + candidate + L": " + why;
  }
  *reason = L"cannot load vxctl.dll: " + tried;
  return nullptr;
}

void* LibraryOperation(void* handle, int ordinal, const char*) {
  return reinterpret_cast<void*>(GetProcAddress(
      static_cast<HMODULE>(handle), MAKEINTRESOURCEA(ordinal)));
}

void UnloadControllerLibrary(void* handle) {
  FreeLibrary(static_cast<HMODULE>(handle));
}

}  // namespace platform
