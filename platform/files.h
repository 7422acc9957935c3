// Files the program and the stand-in library read and write in place:
// inputs refused unless they are regular files (a FIFO would wait for
// ever), the run log, the simulator's state, and a lock held for the life
// of a process.  Paths are wide, as the program has them, or narrow (bytes
// on POSIX, UTF-8 on Windows), as the simulator keeps them.
#ifndef VXSROM_PLATFORM_FILES_H_
#define VXSROM_PLATFORM_FILES_H_

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace platform {

/// The separator of a path's folders.
extern const char kPathSeparator;

/// The system's text for a C library error number.
std::wstring ErrorNumberText(int error_number);

/// Opens an existing regular file for reading ("rb") as a library opens
/// its inputs, without waiting on anything else.  @return the stream; or
/// null with the system's words in *reason and, when the path names
/// something that is not a regular file (a directory too, where the
/// system refuses to open one), *not_regular set; each when given.
FILE* OpenRegularFile(const std::wstring& path, std::wstring* reason,
                      bool* not_regular = nullptr);

/// OpenRegularFile for a narrow path.
FILE* OpenRegularFile(const std::string& path, std::wstring* reason,
                      bool* not_regular = nullptr);

/// Reads at most limit bytes of the regular file at path into *data (ask
/// for one more to tell a longer file); false, as OpenRegularFile fails,
/// or with the system's words in *reason when reading fails.
bool ReadInputFile(const std::wstring& path, size_t limit,
                   std::vector<uint8_t>* data, std::wstring* reason,
                   bool* not_regular = nullptr);

/// ReadInputFile for a narrow path.
bool ReadInputFile(const std::string& path, size_t limit,
                   std::vector<uint8_t>* data, std::wstring* reason,
                   bool* not_regular = nullptr);

/// Opens a regular file for writing, created when absent: appending
/// ("ab") or emptied first ("wb").  Anything else is refused without
/// waiting on it (opening a FIFO would wait for a reader) and without
/// emptying it: nullptr, with *not_regular set when the path names
/// something that is not a regular file.
FILE* OpenRegularOutput(const std::string& path, bool append,
                        bool* not_regular);

/// Opens path for appending ("a+"), shared with no other opener.
/// @return the stream, or null with the C library's error number set.
FILE* OpenExclusiveAppend(const std::wstring& path, int* error_number);

/// Writes text to a log stream in the platform's log encoding.
bool WriteLogText(FILE* stream, const std::wstring& text);

/// True when the path names an existing file or directory.
bool PathExists(const std::string& path);

/// Creates a directory and its parents; true when it exists afterwards.
bool MakeDirectories(const std::string& path);

/// The directory part of a path ("" for a bare name), with its separator.
std::string DirectoryOf(const std::string& path);

/// True for an absolute path on this platform.
bool IsAbsolutePath(const std::string& path);

/// An exclusive lock on a file, held by this process until released or
/// until the process ends (however it ends).
class ProcessLock {
 public:
  ProcessLock() = default;
  ~ProcessLock();
  ProcessLock(const ProcessLock&) = delete;
  ProcessLock& operator=(const ProcessLock&) = delete;

  /// Takes the lock on path (created if absent) without waiting.
  /// @return 0, 1 when another process holds it, -1 on other failure.
  int TryAcquire(const std::string& path);

  /// Releases the lock if held.
  void Release();

  /// True while held.
  bool held() const { return handle_ != kNone; }

 private:
  static const intptr_t kNone = -1;
  intptr_t handle_ = kNone;
};

}  // namespace platform

#endif  // VXSROM_PLATFORM_FILES_H_
