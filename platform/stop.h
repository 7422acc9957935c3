// Requests to stop (signals; console control events on Windows): at once
// while nothing changes a ROM, held back while one is being changed.
#ifndef VXSROM_PLATFORM_STOP_H_
#define VXSROM_PLATFORM_STOP_H_

namespace platform {

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

}  // namespace platform

#endif  // VXSROM_PLATFORM_STOP_H_
