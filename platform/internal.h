// What the platform layer's own files share, and its users need not see:
// paths in the system's own form, the system's words for its errors, and
// the files that a request to stop removes before it ends the process.
#ifndef VXSROM_PLATFORM_INTERNAL_H_
#define VXSROM_PLATFORM_INTERNAL_H_

#include <stdint.h>

#include <string>

namespace platform {

/// A path as the system takes it: bytes on POSIX, UTF-16 on Windows.
#ifdef _WIN32
typedef std::wstring NativePath;
#else
typedef std::string NativePath;
#endif

/// The native form of path (POSIX: the locale's encoding, "?" for what it
/// cannot hold).
NativePath NativeFromWide(const std::wstring& path);

/// The system's words for one of its error codes, with the code: errno
/// on POSIX, GetLastError's on Windows.
std::wstring SystemErrorText(uint32_t code);

/// Names the files that a request to stop removes before it ends the
/// process (empty: none): the temporary file being written, and the
/// output file when this run created it.  Only while a PendingFilesLock
/// is held.
void SetPendingFiles(const NativePath& temporary, const NativePath& created);

/// While one lives, a request to stop waits: the pending files, and what
/// stands at their paths, change under it.
class PendingFilesLock {
 public:
  PendingFilesLock();
  PendingFilesLock(const PendingFilesLock&) = delete;
  PendingFilesLock& operator=(const PendingFilesLock&) = delete;
  ~PendingFilesLock();

 private:
  uint32_t held_back_ = 0;  ///< The signals it blocked (POSIX).
};

}  // namespace platform

#endif  // VXSROM_PLATFORM_INTERNAL_H_
