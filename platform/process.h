// Child processes that report over a pipe, and what a process knows of
// itself and of others: a line's workers run one per board, and a run's
// reservations name the process that made them.
#ifndef VXSROM_PLATFORM_PROCESS_H_
#define VXSROM_PLATFORM_PROCESS_H_

#include <stdint.h>

#include <string>
#include <vector>

namespace platform {

/// A started child whose standard output and error come through one pipe.
struct ChildProcess {
  intptr_t handle = -1;  ///< pid (POSIX) or process HANDLE (Windows).
  intptr_t pipe = -1;    ///< Read end: descriptor or HANDLE.
  uint64_t id = 0;       ///< The process id.
};

/// Starts program with args (args[0] its name) without a shell; its
/// standard input reads nothing, its output and errors fill one pipe.
/// @return false with *reason when it could not start.
bool SpawnChild(const std::wstring& program,
                const std::vector<std::wstring>& args, ChildProcess* child,
                std::wstring* reason);

/// What ReadChild found.
enum class ChildOutput { kData,
                         kNothing,
                         kEnd };

/// Appends what the child has written so far to *text, without waiting.
/// kEnd once the pipe is closed and drained.
ChildOutput ReadChild(ChildProcess* child, std::string* text);

/// Waits up to milliseconds for any of children to have output or to
/// close its pipe (returns early on a signal).
void WaitForChildren(const std::vector<ChildProcess*>& children,
                     uint32_t milliseconds);

/// Waits for the child to end and releases it.  @return its exit code as
/// the program returned it (negative codes kept); *signalled when it was
/// killed instead.
int ReapChild(ChildProcess* child, bool* signalled);

/// Ends the child at once (SIGKILL; TerminateProcess), as a worker past
/// its time limit is ended; ReapChild then collects it.
void KillChild(ChildProcess* child);

/// This process's id.
uint64_t CurrentProcessId();

/// When the process with this id started, in the system's own units
/// (clock ticks since boot; a FILETIME); 0 when no such process runs.
/// Ids are reused, an id and its start time name one process.
uint64_t ProcessStartTime(uint64_t id);

/// True while a process with this id runs on this machine and, when
/// start is not 0, is the one that started then.
bool ProcessAlive(uint64_t id, uint64_t start = 0);

/// The machine's name; "" when it has none.
std::string HostName();

}  // namespace platform

#endif  // VXSROM_PLATFORM_PROCESS_H_
