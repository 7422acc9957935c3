// The thin layer between the program and its operating system.  Each
// function has a POSIX and a Windows implementation, chosen by the build.
#ifndef VXSROM_PLATFORM_PLATFORM_H_
#define VXSROM_PLATFORM_PLATFORM_H_

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace platform {

/// True where an absolute path begins with "/", so that a word in path
/// position may look like an option.
extern const bool kSlashStartsPaths;

/// Sets the locale and console mode so wide output prints any character.
void InitConsole();

/// True when stream is a terminal (a console on Windows).
bool IsTerminal(FILE* stream);

/// Writes text to a console stream (stdout or stderr) in its encoding.
void WriteConsoleText(FILE* stream, const std::wstring& text);

#ifndef _WIN32
/// Decodes argv with the locale.  @return -1, or the index of the first
/// argument that is not valid text in it.
int DecodeArguments(int argc, char** argv, std::vector<std::wstring>* args);
#endif

/// Full path of the running executable.
bool ExecutablePath(std::wstring* path);

/// Reads the OriginalFilename that the running executable records about
/// itself.  @return 0, -1 (missing or unreadable) or -2 (no memory).
int RecordedOriginalFilename(std::wstring* name);

/// The system's text for a C library error number.
std::wstring ErrorNumberText(int error_number);

/// Tries to open path for reading as the library would; false with the
/// system's reason when it cannot be read.
bool ProbeReadable(const std::wstring& path, std::wstring* reason);

/// Reads at most limit bytes of the file at path into *data; false with
/// the system's reason when it cannot be read.
bool ReadInputFile(const std::wstring& path, size_t limit,
                   std::vector<uint8_t>* data, std::wstring* reason);

/// Opens path for appending ("a+"), shared with no other opener.
/// @return the stream, or null with the C library's error number set.
FILE* OpenExclusiveAppend(const std::wstring& path, int* error_number);

/// Writes text to a log stream in the platform's log encoding.
bool WriteLogText(FILE* stream, const std::wstring& text);

/// An output file that behaves as writing the path with "wb" would, but
/// where a plain file (or nothing) stands at the path, the image appears
/// there only once complete: it is written to a temporary file beside it
/// and moved over it.  A pending file is abandoned by its destructor.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  FILE* stream = nullptr;  ///< Open for binary writing while pending.
  std::wstring path;       ///< Where the file will appear (links resolved).
  std::wstring temporary;  ///< Where it is written meanwhile; empty when
                           ///< written in place (a device, a FIFO, ...).
};

/// Opens an output file for path, refusing as "wb" would (a directory, a
/// read-only file, a missing directory).  A symlink is followed, so the
/// link stays and its target receives the image; anything but a plain
/// file with one link is written in place.  @return false with the C
/// library's error number.
bool CreateOutputFile(const std::wstring& path, OutputFile* file,
                      int* error_number);

/// Writes all of data; false when the write did not complete.
bool WriteOutputFile(OutputFile* file, const void* data, size_t size);

/// Puts the complete file in place of path; false when that failed, in
/// which case the previous file at path is untouched.
bool CommitOutputFile(OutputFile* file);

/// Abandons a pending output file (no-op when none is pending).
void DiscardOutputFile(OutputFile* file);

/// Makes the process fit to run as an administrator's tool: on Windows,
/// libraries load from System32 only unless named by full path.
void HardenProcess();

/// Ignores SIGPIPE (a closed output must not end a job) and installs the
/// handlers of requests to stop: SIGINT, SIGTERM and SIGHUP; Ctrl-C,
/// Ctrl-Break and console close on Windows.  Until HoldStopRequests, a
/// request ends the process at once, leaving no temporary file behind.
void InstallStopHandlers();

/// From now until the process ends, requests to stop are held back:
/// recorded, so the ROM that is being changed is finished first.
void HoldStopRequests();

/// True once a request to stop has been held back.
bool StopRequested();

/// Replaces the file at path (native form: bytes on POSIX, UTF-8 on
/// Windows) with data, the way output files are put in place: readers see
/// the old or the new file, never a torn one, and the new one keeps the
/// old one's mode.  @return false on failure, the old file untouched.
bool ReplaceFileAtomically(const std::string& path, const void* data,
                           size_t size);

/// UTF-8 form of wide text (UTF-16 or UTF-32, as wchar_t holds it); what
/// is no character (a lone surrogate, a value past U+10FFFF) becomes
/// U+FFFD.
std::string Utf8FromWide(const std::wstring& text);

/// Waits milliseconds.
void SleepMilliseconds(uint32_t milliseconds);

/// Loads the controller library vxctl from beside the executable or the
/// normal search path.  @return a handle, or null with *reason set.
void* LoadControllerLibrary(std::wstring* reason);

/// The operation exported at ordinal (Windows) or under name (POSIX).
void* LibraryOperation(void* handle, int ordinal, const char* name);

/// Unloads a library loaded by LoadControllerLibrary.
void UnloadControllerLibrary(void* handle);

}  // namespace platform

#endif  // VXSROM_PLATFORM_PLATFORM_H_
