// POSIX: mkdtemp makes the folder 0700 under a random name, and fails
// rather than use anything that stands there.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "platform/files.h"
#include "platform/private_folder.h"

namespace platform {

bool MakePrivateFolder(const std::string& prefix, std::string* path,
                       std::wstring* reason) {
  const char* tmp = getenv("TMPDIR");
  std::string base = tmp && *tmp == '/' ? tmp : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  std::string pattern = base + "/" + prefix + "-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (!mkdtemp(name.data())) {
    *reason = L"cannot make a private folder in " + std::wstring(base.begin(), base.end()) +
              L": " + ErrorNumberText(errno);
    return false;
  }
  *path = name.data();
  return true;
}

void RemovePrivateFolder(const std::string& path) {
  if (path.empty()) return;
  int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    DIR* dir = fdopendir(fd);
    if (dir) {
      // unlinkat removes a link itself, never what it points at.
      while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") unlinkat(dirfd(dir), name.c_str(), 0);
      }
      closedir(dir);
    } else {
      close(fd);
    }
  }
  rmdir(path.c_str());
}

}  // namespace platform
