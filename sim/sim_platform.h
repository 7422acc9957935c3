// The few operating-system services the simulator needs: file locks held
// for the life of a process, atomic file replacement, the user's state
// directory, wide/narrow path conversion and diagnostics on standard error.
// One implementation per OS.
#ifndef VXSROM_SIM_SIM_PLATFORM_H_
#define VXSROM_SIM_SIM_PLATFORM_H_

#include <stdint.h>
#include <stdio.h>
#include <wchar.h>

#include <string>
#include <vector>

namespace sim {

/// UTF-8 form of a wide path from the caller (UTF-16 or UTF-32).
std::string WideToUtf8(const wchar_t* text);

/// Opens an existing regular file for reading ("rb").  Anything else is
/// refused without waiting on it (opening a FIFO would wait for a writer):
/// nullptr, with *not_regular set when the path names something that is
/// not a regular file.
FILE* OpenRegularFile(const std::string& path, bool* not_regular);

/// Opens a regular file for writing, created when absent: appending
/// ("ab") or emptied first ("wb").  Anything else is refused without
/// waiting on it (opening a FIFO would wait for a reader) and without
/// emptying it: nullptr, with *not_regular set when the path names
/// something that is not a regular file.
FILE* OpenRegularOutput(const std::string& path, bool append, bool* not_regular);

/// Reads a whole regular file, at most max_bytes (more → *too_large).
/// @return false when the file can't be opened or read, or is not a
/// regular file (then *not_regular, when given, is set).
bool ReadWholeFile(const std::string& path, size_t max_bytes,
                   std::vector<uint8_t>* data, bool* too_large,
                   bool* not_regular = nullptr);

/// Replaces path's contents with data so that readers see either the old
/// or the new file, never a torn one.  @return false on failure.
bool ReplaceFileAtomically(const std::string& path,
                           const std::vector<uint8_t>& data);

/// Writes one line (UTF-8, without its line end) to standard error so that
/// it reads correctly whatever mode the program set on its C streams: the
/// library shares the program's C runtime, and a program that made stderr a
/// wide or UTF-8 text stream would turn narrow text into garbage.
void PrintDiagnostic(const std::string& utf8_line);

/// True when the path names an existing file or directory.
bool PathExists(const std::string& path);

/// Creates a directory and its parents; true when it exists afterwards.
bool MakeDirectories(const std::string& path);

/// The environment variable as UTF-8; false when unset.
bool GetEnvironment(const char* name, std::string* value);

/// The per-user directory for program state (XDG_STATE_HOME or
/// ~/.local/state; %LOCALAPPDATA%).  Empty when unknown.
std::string UserStateDirectory();

/// The directory part of a path ("" for a bare name), with its separator.
std::string DirectoryOf(const std::string& path);

/// True for an absolute path on this platform.
bool IsAbsolutePath(const std::string& path);

/// Loads the library file at path; null with the system's *reason.
void* LoadLibraryAt(const std::string& path, std::string* reason);

/// The export at ordinal (Windows, as the maker's library is bound) or
/// under name (POSIX); null when absent.
void* LibraryExport(void* handle, int ordinal, const char* name);

/// The directory of the library or program that holds this code, with
/// its separator.
std::string ModuleDirectory();

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

}  // namespace sim

#endif  // VXSROM_SIM_SIM_PLATFORM_H_
