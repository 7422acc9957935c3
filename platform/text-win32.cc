// Windows paths: UTF-16, as the program has them.
#include <string>

#include "platform/internal.h"
#include "platform/text.h"

namespace platform {

NativePath NativeFromWide(const std::wstring& path) { return path; }

bool ExactNativeFromWide(const std::wstring& path, NativePath* native) {
  *native = path;
  return true;
}

NativePath NativeFromNarrow(const std::string& path) {
  return WideFromUtf8(path);
}

}  // namespace platform
