// Windows requests to stop: Ctrl-C, Ctrl-Break, and the console's close,
// logoff and shutdown.
#include <windows.h>

#include <string>

#include "platform/internal.h"
#include "platform/stop.h"

namespace {

/// Requests to stop: held back once a ROM starts changing.
volatile LONG g_holding = 0;
volatile LONG g_stop_requested = 0;

/// The pending files, shared with the control handler, which runs on a
/// thread of its own.
SRWLOCK g_pending_lock = SRWLOCK_INIT;
std::wstring g_pending_temporary;
std::wstring g_pending_created;

/// The status of a process ended by Ctrl-C.
const UINT kControlCExit = 0xC000013A;

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (InterlockedCompareExchange(&g_holding, 0, 0)) {
    InterlockedExchange(&g_stop_requested, 1);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    // Close, logoff, shutdown: the system ends the process when this
    // returns, or after a few seconds anyway.  Keep it alive for as long
    // as the system allows; the run's own end ends the process sooner.
    Sleep(INFINITE);
    return TRUE;
  }
  // Nothing changes a ROM yet: end the process, without a temporary file
  // or a file this run made left behind.  The lock is kept, so the run
  // cannot move a file into place meanwhile.  The status is set here: the
  // default handler leaves it to the system, and some report success.
  AcquireSRWLockExclusive(&g_pending_lock);
  if (!g_pending_temporary.empty()) DeleteFileW(g_pending_temporary.c_str());
  if (!g_pending_created.empty()) DeleteFileW(g_pending_created.c_str());
  TerminateProcess(GetCurrentProcess(), kControlCExit);
  return TRUE;
}

}  // namespace

namespace platform {

void SetPendingFiles(const NativePath& temporary, const NativePath& created) {
  g_pending_temporary = temporary;
  g_pending_created = created;
}

PendingFilesLock::PendingFilesLock() {
  AcquireSRWLockExclusive(&g_pending_lock);
}

PendingFilesLock::~PendingFilesLock() {
  ReleaseSRWLockExclusive(&g_pending_lock);
}

void InstallStopHandlers() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

void HoldStopRequests() { InterlockedExchange(&g_holding, 1); }

bool StopRequested() {
  return InterlockedCompareExchange(&g_stop_requested, 0, 0) != 0;
}

}  // namespace platform
