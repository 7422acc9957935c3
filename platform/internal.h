// What the platform layer's own files share, and its users need not see:
// paths in the system's own form, the system's words for its errors, the
// files that a request to stop removes before it ends the process, on
// Windows the careful loading of system libraries, and the digests' text.
#ifndef VXSROM_PLATFORM_INTERNAL_H_
#define VXSROM_PLATFORM_INTERNAL_H_

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

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

/// The native form of path exactly; false when it has none (POSIX: a
/// character the locale cannot encode).
bool ExactNativeFromWide(const std::wstring& path, NativePath* native);

/// The native form of a narrow path: bytes as they are on POSIX, UTF-8 on
/// Windows.
NativePath NativeFromNarrow(const std::string& path);

#ifndef _WIN32
/// Decodes bytes with the locale; false when they are not valid text.
bool WideFromLocale(const char* text, std::wstring* wide);
#endif

/// The system's words for one of its error codes, with the code: errno
/// on POSIX, GetLastError's on Windows.
std::wstring SystemErrorText(uint32_t code);

/// OpenRegularFile for a native path.
FILE* OpenNativeRegularFile(const NativePath& path, std::wstring* reason,
                            bool* not_regular);

/// ReadInputFile for a native path.
bool ReadNativeInputFile(const NativePath& path, size_t limit,
                         std::vector<uint8_t>* data, std::wstring* reason,
                         bool* not_regular);

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

#ifdef _WIN32
/// System32, without a trailing separator ("" when unknown).
std::wstring SystemDirectory();

/// Loads a library named by full path: its own dependencies come from its
/// directory and System32, never from the current directory or PATH.
/// @return its module handle, or null with GetLastError set.
void* LoadByFullPath(const std::wstring& path);

/// Set by HardenProcess when LoadLibraryExW takes the search flags.
extern bool g_library_search_flags;
#endif

/// The bytes of a digest as lower-case hexadecimal digits.
std::string HexDigits(const unsigned char* bytes, size_t size);

}  // namespace platform

#endif  // VXSROM_PLATFORM_INTERNAL_H_
