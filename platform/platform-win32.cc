// Windows implementation of the platform layer.
#include <windows.h>

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <stdio.h>
#include <wchar.h>

#include <string>
#include <vector>

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
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return -1;
  std::vector<BYTE> block;
  try {
    block.resize(size);
  } catch (...) {
    return -2;
  }
  if (!GetFileVersionInfoW(path, 0, size, block.data())) return -1;
  struct Translation {
    WORD language;
    WORD code_page;
  }* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translation), &length) ||
      length < sizeof(Translation)) {
    return -1;
  }
  wchar_t query[256];
  _snwprintf(query, 255, L"\\StringFileInfo\\%04x%04x\\OriginalFilename",
             translation->language, translation->code_page);
  query[255] = L'\0';
  wchar_t* value = nullptr;
  if (!VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&value),
                      &length) ||
      length >= 256) {
    return -1;
  }
  name->assign(value, wcsnlen(value, length));
  return 0;
}

FILE* OpenExclusiveAppend(const std::wstring& path, int* error_number) {
  FILE* stream = _wfsopen(path.c_str(), L"a+", _SH_DENYRW);
  if (!stream) *error_number = errno;
  return stream;
}

bool WriteLogText(FILE* stream, const std::wstring& text) {
  // The narrow encoding of the system; what it cannot represent becomes
  // "?" rather than cutting the record short.
  int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(),
                                 static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string bytes(size, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                      &bytes[0], size, "?", nullptr);
  return fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
}

bool CreateOutputFile(const std::wstring& path, OutputFile* file,
                      int* error_number) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
    *error_number = EACCES;  // what "wb" reports for either
    return false;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring temporary = path + L"." +
                             std::to_wstring(GetCurrentProcessId()) + L"-" +
                             std::to_wstring(attempt) + L".tmp";
    int fd = -1;
    errno_t error = _wsopen_s(&fd, temporary.c_str(),
                              _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY,
                              _SH_DENYRW, _S_IREAD | _S_IWRITE);
    if (error == EEXIST) continue;
    if (error != 0) {
      *error_number = error;
      return false;
    }
    file->stream = _wfdopen(fd, L"wb");
    if (!file->stream) {
      *error_number = errno;
      _close(fd);
      _wremove(temporary.c_str());
      return false;
    }
    file->path = path;
    file->temporary = temporary;
    return true;
  }
  *error_number = EEXIST;
  return false;
}

bool CommitOutputFile(OutputFile* file) {
  if (!file->stream) return false;
  bool ok = fclose(file->stream) == 0;
  file->stream = nullptr;
  ok = ok && MoveFileExW(file->temporary.c_str(), file->path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) _wremove(file->temporary.c_str());
  return ok;
}

void DiscardOutputFile(OutputFile* file) {
  if (!file->stream) return;
  fclose(file->stream);
  file->stream = nullptr;
  _wremove(file->temporary.c_str());
}

void SleepMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }

void* LoadControllerLibrary(std::wstring* reason) {
  HMODULE module = LoadLibraryW(L"vxctl.dll");
  if (!module) *reason = L"cannot load vxctl.dll: " + LastErrorText();
  return reinterpret_cast<void*>(module);
}

void* LibraryOperation(void* handle, int ordinal, const char*) {
  return reinterpret_cast<void*>(GetProcAddress(
      static_cast<HMODULE>(handle), MAKEINTRESOURCEA(ordinal)));
}

void UnloadControllerLibrary(void* handle) {
  FreeLibrary(static_cast<HMODULE>(handle));
}

}  // namespace platform
