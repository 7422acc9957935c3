// POSIX paths and system text in the locale's encoding.
#include <limits.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "platform/internal.h"

namespace platform {

bool WideFromLocale(const char* text, std::wstring* wide) {
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

NativePath NativeFromWide(const std::wstring& path) {
  // Characters the locale cannot represent become "?".
  std::string bytes;
  char buffer[MB_LEN_MAX];
  mbstate_t state = {};
  for (wchar_t c : path) {
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

bool ExactNativeFromWide(const std::wstring& path, NativePath* native) {
  mbstate_t state = {};
  const wchar_t* source = path.c_str();
  size_t length = wcsrtombs(nullptr, &source, 0, &state);
  if (length == static_cast<size_t>(-1)) return false;
  native->assign(length, '\0');
  state = mbstate_t();
  source = path.c_str();
  wcsrtombs(&(*native)[0], &source, length, &state);
  return true;
}

NativePath NativeFromNarrow(const std::string& path) { return path; }

}  // namespace platform
