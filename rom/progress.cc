#include "rom/progress.h"

#include "device/exit_codes.h"
#include "device/session.h"

using namespace device;

namespace rom {

namespace {

/// Fixed cadence of the polls; the library is never asked more often.
const uint32_t kPollIntervalMs = 100;

/// Starts op in the library.  @return the library's status.
LibraryStatus Start(const ControllerLibrary& lib, PciAddress address,
                    RomOperation op, uint32_t size, uint8_t* data) {
  switch (op) {
    case RomOperation::kErase:
      return lib.StartSromErase(address, 1);
    case RomOperation::kWrite:
      return lib.StartSromWrite(address, size, data, 1);
    default:
      return lib.StartSromRead(address, 0, size, 0, nullptr, 1);
  }
}

/// One poll of op.  @return the poll result, *progress filled.
LibraryStatus Poll(const ControllerLibrary& lib, PciAddress address,
                   RomOperation op, uint32_t size, uint8_t* data,
                   uint32_t* progress) {
  if (op == RomOperation::kErase || op == RomOperation::kWrite)
    return lib.PollSromProgress(address, progress);
  return lib.PollSromRead(address, size, data, progress);
}

}  // namespace

void NoticeStopRequest(DeviceSession& session, StopNotice* notice) {
  if (notice->reported || !session.host->stop_requested()) return;
  notice->reported = true;
  session.report().StopHeld(notice->scope, notice->address, notice->left);
}

uint32_t ProgressPercent(uint32_t progress, uint32_t size) {
  // A library that reports a ROM of no bytes must not stop the program.
  if (size == 0) return 100;
  return static_cast<uint32_t>(progress * 100u) / size;
}

ExitCode RunRomOperation(DeviceSession& session, PciAddress address,
                         RomOperation op, uint32_t size, uint8_t* data,
                         StopNotice* notice) {
  const ControllerLibrary& lib = *session.library;
  Reporter& report = session.report();
  const RunningOperation running = {address, op, size};
  // From the first erase or write on, the ROM is finished whatever
  // happens to the terminal: a request to stop waits for the action.
  if (op == RomOperation::kErase || op == RomOperation::kWrite) {
    session.host->hold_stop_requests();
    notice->Claim(StopScope::kOperation);
  }
  LibraryStatus status = Start(lib, address, op, size, data);
  if (status != 0) {
    report.OperationNotStarted(running, status);
    // Only a write that did not start tells why; erase and read say
    // kExitRomOperation.
    return op == RomOperation::kWrite ? MapStatusToExitCode(status) : kExitRomOperation;
  }
  report.OperationStarted(running);
  for (;;) {
    session.host->sleep_ms(kPollIntervalMs);
    uint32_t progress = 0;
    LibraryStatus result = Poll(lib, address, op, size, data, &progress);
    NoticeStopRequest(session, notice);
    if (result < 0) {
      report.OperationFailed(running, progress, result);
      return kExitRomOperation;
    }
    report.OperationProgress(running, progress, ProgressPercent(progress, size));
    if (result != 1) return kExitOk;
  }
}

}  // namespace rom
