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

/// Tries to open path for reading as the library would, without waiting;
/// false with the system's reason when it cannot be read or is not a
/// regular file.
bool ProbeReadable(const std::wstring& path, std::wstring* reason);

/// Reads at most limit bytes of the file at path into *data; false with
/// the system's reason when it cannot be read or, as for ProbeReadable,
/// is not a regular file.
bool ReadInputFile(const std::wstring& path, size_t limit,
                   std::vector<uint8_t>* data, std::wstring* reason);

/// Opens path for appending ("a+"), shared with no other opener.
/// @return the stream, or null with the C library's error number set.
FILE* OpenExclusiveAppend(const std::wstring& path, int* error_number);

/// Writes text to a log stream in the platform's log encoding.
bool WriteLogText(FILE* stream, const std::wstring& text);

/// Makes the process fit to run as an administrator's tool: on Windows,
/// libraries load from System32 only unless named by full path.
void HardenProcess();

/// Ignores SIGPIPE (a closed output must not end a job) and installs the
/// handlers of requests to stop: SIGINT, SIGTERM and SIGHUP; Ctrl-C,
/// Ctrl-Break and console close on Windows.  Until HoldStopRequests, a
/// request ends the process at once, leaving no temporary file behind:
/// as the signal's default action would, or on Windows with the status
/// of Ctrl-C, STATUS_CONTROL_C_EXIT.
void InstallStopHandlers();

/// From now until the process ends, requests to stop are held back:
/// recorded, so the ROM that is being changed is finished first.
void HoldStopRequests();

/// True once a request to stop has been held back.
bool StopRequested();

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
