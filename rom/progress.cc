#include "rom/progress.h"

#include "device/exit_codes.h"
#include "device/target.h"
#include "platform/platform.h"

namespace {

/// Fixed cadence of the polls; the library is never asked more often.
const uint32_t kPollIntervalMs = 100;

/// What one operation prints.
struct OperationTexts {
  const wchar_t* start_line;
  const wchar_t* progress_line;
  const wchar_t* start_failure;
  const wchar_t* poll_failure;
  const wchar_t* name;  ///< What the reason lines call it.
};

/// The texts of op.  The erase start line alone has no trailing blank.
OperationTexts TextsOf(RomOperation op) {
  switch (op) {
    case RomOperation::kErase:
      return {L"Erase Serial ROM....  0%%", L"\rErase Serial ROM....  %3d%% ",
              L"Serial ROM erase error (%d)\n",
              L"\nSerial ROM erase error (%d)\n", L"the erase"};
    case RomOperation::kWrite:
      return {L"Write Serial ROM....  0%% ", L"\rWrite Serial ROM....  %3d%% ",
              L"Serial ROM write error (%d)\n",
              L"\nSerial ROM write error (%d)\n", L"the write"};
    case RomOperation::kVerifyRead:
      return {L"Verify Serial ROM....  0%% ",
              L"\rVerify Serial ROM....  %3d%% ",
              L"Serial ROM read error (%d)\n", L"\nSerial ROM read error (%d)\n",
              L"the read-back for verification"};
    case RomOperation::kDumpRead:
    default:
      return {L"Read Serial ROM....  0%% ", L"\rRead Serial ROM....  %3d%% ",
              L"Serial ROM read error (%d)\n", L"\nSerial ROM read error (%d)\n",
              L"the read"};
  }
}

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

void NoticeStopRequest(StopNotice* notice) {
  if (notice->printed || !platform::StopRequested()) return;
  notice->printed = true;
  platform::PrintReason(L"%ls", notice->text.c_str());
}

uint32_t ProgressPercent(uint32_t progress, uint32_t size) {
  // A library that reports a ROM of no bytes must not stop the program.
  if (size == 0) return 100;
  return static_cast<uint32_t>(progress * 100u) / size;
}

int RunRomOperation(const ControllerLibrary& lib, PciAddress address,
                    RomOperation op, uint32_t size, uint8_t* data,
                    StopNotice* notice) {
  const OperationTexts texts = TextsOf(op);
  // From the first erase or write on, the ROM is finished whatever
  // happens to the terminal: a request to stop waits for the action.
  if (op == RomOperation::kErase || op == RomOperation::kWrite) {
    platform::HoldStopRequests();
    if (notice->text.empty()) {
      notice->text =
          L"stop requested: the ROM operation in progress is finished "
          L"first, then the program stops";
    }
  }
  LibraryStatus status = Start(lib, address, op, size, data);
  if (status != 0) {
    platform::Print(texts.start_failure, static_cast<int>(status));
    platform::PrintReason(L"%ls: %ls did not start (library status %d)",
                          FormatAddress(address).c_str(), texts.name,
                          static_cast<int>(status));
    // Only a write that did not start tells why; erase and read say -5.
    return op == RomOperation::kWrite ? MapStatusToExitCode(status) : -5;
  }
  platform::Print(texts.start_line);
  platform::Flush();
  for (;;) {
    platform::SleepMilliseconds(kPollIntervalMs);
    uint32_t progress = 0;
    LibraryStatus result = Poll(lib, address, op, size, data, &progress);
    NoticeStopRequest(notice);
    if (result < 0) {
      platform::Print(texts.poll_failure, static_cast<int>(result));
      platform::PrintReason(
          L"%ls: %ls failed after %u of %u bytes (library status %d)",
          FormatAddress(address).c_str(), texts.name,
          static_cast<unsigned>(progress), static_cast<unsigned>(size),
          static_cast<int>(result));
      return -5;
    }
    platform::Print(texts.progress_line,
                    static_cast<int>(ProgressPercent(progress, size)));
    platform::Flush();
    if (result != 1) return 0;
  }
}
