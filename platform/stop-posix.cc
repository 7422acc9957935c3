// POSIX requests to stop: SIGINT, SIGTERM and SIGHUP.
#include <limits.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "platform/internal.h"
#include "platform/stop.h"

namespace {

/// The requests to stop that the program handles.
const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

/// Set while requests to stop are held back, and once one was.
volatile sig_atomic_t g_holding = 0;
volatile sig_atomic_t g_stop_requested = 0;

/// The pending files, for the handler to remove: fixed buffers, since a
/// signal handler may neither allocate nor lock.  Changed only while the
/// requests to stop are blocked.
char g_pending_temporary[PATH_MAX + 64];
char g_pending_created[PATH_MAX + 64];

/// Copies path into a pending-file buffer; too long, it is not removed.
void SetPending(const std::string& path, char (&buffer)[PATH_MAX + 64]) {
  buffer[0] = '\0';
  if (path.size() < sizeof buffer) memcpy(buffer, path.c_str(), path.size() + 1);
}

void OnStopRequest(int signal_number) {
  if (g_holding) {
    g_stop_requested = 1;
    return;
  }
  // Nothing changes a ROM yet: stop now, as the default action would,
  // without leaving a temporary file, or a file this run made, behind.
  if (g_pending_temporary[0]) unlink(g_pending_temporary);
  if (g_pending_created[0]) unlink(g_pending_created);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

}  // namespace

namespace platform {

void SetPendingFiles(const NativePath& temporary, const NativePath& created) {
  SetPending(temporary, g_pending_temporary);
  SetPending(created, g_pending_created);
}

PendingFilesLock::PendingFilesLock() {
  sigset_t stop, before;
  sigemptyset(&stop);
  for (int signal_number : kStopSignals) sigaddset(&stop, signal_number);
  sigprocmask(SIG_BLOCK, &stop, &before);
  for (size_t i = 0; i < sizeof kStopSignals / sizeof kStopSignals[0]; ++i) {
    if (!sigismember(&before, kStopSignals[i])) held_back_ |= 1u << i;
  }
}

PendingFilesLock::~PendingFilesLock() {
  sigset_t blocked;
  sigemptyset(&blocked);
  for (size_t i = 0; i < sizeof kStopSignals / sizeof kStopSignals[0]; ++i) {
    if (held_back_ & (1u << i)) sigaddset(&blocked, kStopSignals[i]);
  }
  sigprocmask(SIG_UNBLOCK, &blocked, nullptr);
}

void InstallStopHandlers() {
  signal(SIGPIPE, SIG_IGN);
  struct sigaction action = {};
  action.sa_handler = OnStopRequest;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signal_number : kStopSignals) sigaddset(&action.sa_mask, signal_number);
  for (int signal_number : kStopSignals) sigaction(signal_number, &action, nullptr);
}

void HoldStopRequests() { g_holding = 1; }

bool StopRequested() { return g_stop_requested != 0; }

}  // namespace platform
