// POSIX libraries: dlopen, and exports by name.
#include <dlfcn.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/files.h"
#include "platform/internal.h"

namespace platform {

void* LoadLibraryBesideProgram(const std::wstring& file_name,
                               std::wstring* reason) {
  const std::string name = NativeFromWide(file_name);
  std::string beside = name;
  std::vector<char> buffer(4096);
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n > 0) {
    std::string exe(buffer.data(), static_cast<size_t>(n));
    std::string candidate = exe.substr(0, exe.rfind('/') + 1) + name;
    if (access(candidate.c_str(), F_OK) == 0) beside = candidate;
  }
  void* handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* error = dlerror();
    std::wstring why;
    if (!error || !WideFromLocale(error, &why)) why = L"not found";
    std::wstring where;
    if (n > 0 && WideFromLocale(std::string(buffer.data(), static_cast<size_t>(n)).c_str(), &where))
      where = where.substr(0, where.rfind(L'/') + 1);
    // What was tried: the program's folder, then the system's library path.
    *reason = L"cannot load " + file_name + L" (looked for in " +
              (where.empty() ? std::wstring(L"the program's folder") : where) +
              L", then on the system's library path): " + why;
  }
  return handle;
}

void* LoadLibraryAt(const std::string& path, std::string* reason) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* error = dlerror();
    *reason = error ? error : "cannot be loaded";
  }
  return handle;
}

void* LibraryExport(void* handle, int, const char* name) {
  return dlsym(handle, name);
}

void UnloadLibrary(void* handle) { dlclose(handle); }

std::string ModuleDirectory() {
  Dl_info info = {};
  if (!dladdr(reinterpret_cast<void*>(&ModuleDirectory), &info) ||
      !info.dli_fname)
    return "";
  return DirectoryOf(info.dli_fname);
}

}  // namespace platform
