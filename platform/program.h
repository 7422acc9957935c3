// The running program itself: its executable, its environment, its
// hardening, and waiting.
#ifndef VXSROM_PLATFORM_PROGRAM_H_
#define VXSROM_PLATFORM_PROGRAM_H_

#include <stdint.h>

#include <string>

namespace platform {

/// Full path of the running executable.
bool ExecutablePath(std::wstring* path);

/// Reads the OriginalFilename that the running executable records about
/// itself.  @return 0, -1 (missing or unreadable) or -2 (no memory).
int RecordedOriginalFilename(std::wstring* name);

/// Makes the process fit to run as an administrator's tool: on Windows,
/// libraries load from System32 only unless named by full path.
void HardenProcess();

/// What every program of the project does first: the process hardened,
/// the console set up, requests to stop handled.
void StartProgram();

/// Waits milliseconds.
void SleepMilliseconds(uint32_t milliseconds);

/// The environment variable as UTF-8 (bytes on POSIX); false when unset.
bool GetEnvironment(const char* name, std::string* value);

/// The per-user directory for program state (XDG_STATE_HOME or
/// ~/.local/state; %LOCALAPPDATA%), a narrow path.  Empty when unknown.
std::string UserStateDirectory();

}  // namespace platform

#endif  // VXSROM_PLATFORM_PROGRAM_H_
