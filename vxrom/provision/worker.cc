#include "vxrom/provision/worker.h"

#include <chrono>
#include <filesystem>
#include <memory>

#include "device/exit_codes.h"
#include "device/library_loader.h"
#include "device/session.h"
#include "device/target.h"
#include "line/worker_protocol.h"
#include "platform/digest.h"
#include "platform/files.h"
#include "platform/output_file.h"
#include "platform/process.h"
#include "platform/text.h"
#include "rom/actions.h"
#include "rom/image_source.h"
#include "rom/job.h"
#include "store/journal.h"
#include "store/store.h"
#include "vxrom/output.h"
#include "words/console_reporter.h"

using namespace device;
using namespace rom;
using namespace line;
using namespace store;

namespace {

/// One message to the parent, a whole line at once.  A parent that is
/// gone does not stop the board: the write to its pipe just fails.
void SendToParent(const WorkerMessage& message) { WriteResult(EncodeMessage(message)); }

const char* PhaseName(RomOperation operation) {
  switch (operation) {
    case RomOperation::kErase:
      return "erase";
    case RomOperation::kWrite:
      return "write";
    default:
      return "verify";
  }
}

/// The progress goes to the parent as messages; the reasons, in vxrom's
/// words, to standard error, which the parent reads too.
class WorkerReporter : public ConsoleReporter {
 public:
  explicit WorkerReporter(const Console& console)
      : ConsoleReporter(console, L"--address", L"--no-revision-check") {}

  void OperationStarted(const RunningOperation& op) override {
    SendPhase(op, 0);
    ConsoleReporter::OperationStarted(op);
  }
  void OperationProgress(const RunningOperation& op, uint32_t done, uint32_t percent) override {
    SendPhase(op, percent);
    ConsoleReporter::OperationProgress(op, done, percent);
  }

 private:
  static void SendPhase(const RunningOperation& op, uint32_t percent) {
    if (op.operation != RomOperation::kDumpRead) SendToParent(PhaseMessage{PhaseName(op.operation), percent});
  }
};

/// What the worker found out about its board.
struct BoardFacts {
  bool touching = false;  ///< The erase may have begun.
  std::optional<int64_t> rom_type;
  std::optional<std::string> image_sha256;
  DeviceInfo info = {};  ///< Read back after the verification.
  bool read_back = false;
};

/// The .eui file the library builds the image from: the board's own
/// number, in the run's private folder, written as any output file is.
ExitCode WriteEuiFile(const WorkerTask& task, std::wstring* path) {
  *path = platform::WideFromUtf8(task.eui_folder + platform::kPathSeparator +
                                 FormatPciAddress(task.address, true) + ".eui");
  std::unique_ptr<platform::OutputFile> file;
  int error_number = 0;
  std::wstring why;
  const std::string text = FormatEui64Value(*task.eui) + "\n";
  if (platform::OutputFile::Open(*path, &file, &error_number, &why) &&
      file->Write(text.data(), text.size()) && file->Commit())
    return kExitOk;
  VxromReasons().Reason(L"cannot write the board's EUI-64 file \"%ls\": %ls", path->c_str(),
                        (file ? file->reason() : why).c_str());
  path->clear();
  return kExitFile;
}

ExitCode ProgramBoard(RomJob& job, PreparedImage& prepared, BoardFacts* facts) {
  DeviceSession& session = job.session;
  SelectedControllerGuard guard(session);
  ExitCode result = OpenTarget(session, NO_REVISION);
  if (result != 0) return result;
  const RomGeometry& geometry = session.geometry();
  const int rom_type = session.rom_types.ListedType(geometry);
  if (rom_type != 0) facts->rom_type = rom_type;
  SendToParent(TargetMessage{rom_type, geometry.mem_size, geometry.page_size,
                             (geometry.dev_code & kEraseBeforeWrite) != 0});
  if ((result = PrepareImage(job, &geometry, RevisionCheck::kSelected, &prepared)) != 0) return result;
  uint8_t* image = prepared.bytes.get();
  const uint32_t size = prepared.size;
  facts->image_sha256 = platform::Sha256Hex(image, size);
  SendToParent(ImageMessage{*facts->image_sha256});
  // From here on the board may carry the number, whatever happens next.
  facts->touching = true;
  SendToParent(TouchingMessage());
  if ((result = EraseAndWrite(job, image, size)) != 0) return result;
  if ((result = VerifySrom(job, image, size)) != 0) return result;
  const LibraryStatus status = session.library->GetDeviceInfo(session.devices.open_address, &facts->info);
  if (status != 0) {
    VxromReasons().Reason(L"the verified ROM could not be read back (library status %d)", status);
    return kExitFailed;
  }
  facts->read_back = true;
  return kExitOk;
}

/// Checks that the verified ROM holds the board's own number; when it
/// holds another, that one is settled too.  @return the board's result.
ExitCode CheckNumber(const WorkerTask& task, const BoardFacts& facts, HistoryRecord* record,
                     std::vector<Settlement>* settlements) {
  if (!task.eui || !facts.read_back) return static_cast<ExitCode>(record->result);
  const std::string own = FormatEui64Value(*task.eui);
  const std::string found = IsEui64Set(facts.info) ? FormatEui64(facts.info.eui64) : "none";
  if (found == own) return kExitOk;
  const std::string why = "the verified ROM holds EUI-64 " + found + ", not its own " + own +
                          ": both are spoiled";
  VxromReason(why);
  record->result = kExitVerifyMismatch;
  record->reason = why;
  uint64_t other = 0;
  if (ParseEui64(found, &other)) {
    Settlement s;
    s.entry_id = NewEntryId();
    s.run_id = task.run_id;
    s.number = other;
    s.any_holder = true;
    HistoryRecord r = *record;
    r.eui64 = found;
    r.reason = "found on the board at " + record->address + " (serial " +
               record->serial.value_or("none") + ") in place of " + own + ": spoiled";
    s.record = r;
    settlements->push_back(std::move(s));
  }
  return kExitVerifyMismatch;
}

/// The board's settlement and record, from what the worker found out.
std::vector<Settlement> Settle(const WorkerTask& task, const BoardFacts& facts, int result,
                               const std::wstring& reason, double seconds, HistoryRecord* r) {
  r->finished = UtcTimestamp();
  r->station = task.station;
  r->host = platform::HostName();
  r->serial = task.serial;
  r->address = FormatPciAddress(task.address);
  r->chip_revision = task.chip_revision;
  r->rom_type = facts.rom_type;
  if (facts.read_back) {
    const std::string version = FormatFirmwareVersion(facts.info);
    if (!version.empty()) r->firmware_version = version;
    r->subsystem_vendor_id = facts.info.subsystem_vendor_id;
    r->subsystem_id = facts.info.subsystem_id;
  }
  if (task.eui) r->eui64 = FormatEui64Value(*task.eui);
  r->image_sha256 = facts.image_sha256;
  r->result = result;
  if (!reason.empty()) r->reason = platform::Utf8FromWide(reason);
  r->duration_s = seconds;
  r->version = VXROM_VERSION;
  if (!task.job.empty()) r->job = task.job;
  std::vector<Settlement> settlements(1);
  r->result = CheckNumber(task, facts, r, &settlements);
  Settlement& own = settlements[0];
  own.entry_id = NewEntryId();
  own.run_id = task.run_id;
  own.number = task.eui;
  own.outcome = r->result == 0   ? Outcome::kProgrammed
                : facts.touching ? Outcome::kSpoiled
                                 : Outcome::kReleased;
  own.record = *r;
  // A number the board keeps is no run's reservation: it stays
  // programmed, or is spoiled when its rework failed after the erase.
  own.any_holder = task.keeps;
  if (task.keeps && own.outcome == Outcome::kReleased) own.outcome = Outcome::kProgrammed;
  if (facts.touching) {
    const std::vector<Settlement> retired = Superseded(task, *r);
    settlements.insert(settlements.end(), retired.begin(), retired.end());
  }
  return settlements;
}

/// Keeps the settlements in the journal.  @return true when all are.
bool Journaled(const WorkerTask& task, Journal* journal, const std::vector<Settlement>& settlements) {
  if (!journal) return false;
  std::string why;
  for (const Settlement& s : settlements) {
    if (!journal->Keep(s, {task.store_id, task.store_url}, &why)) {
      VxromReason(why);
      return false;
    }
  }
  return true;
}

}  // namespace

ExitCode WorkerCommand(const std::vector<std::wstring>& words) {
  const auto start = std::chrono::steady_clock::now();
  HistoryRecord record;
  record.started = UtcTimestamp();
  WorkerTask task;
  std::string why;
  if (!DecodeTask(words, &task, &why)) {
    VxromReason(why);
    return kExitCommandLine;
  }
  // Noted first, so that the run is not taken for dead while this board
  // is written, even if its parent is gone.
  std::unique_ptr<Journal> journal = Journal::Open(task.journal, false, &why);
  const uint64_t pid = platform::CurrentProcessId();
  if (!journal || !journal->AddProcess(task.run_id, {pid, platform::ProcessStartTime(pid)}, &why))
    VxromReason(why);
  std::wstring first_reason;
  const Console console(nullptr, L"vxrom", &first_reason);
  WorkerReporter reporter(console);
  DeviceSession session(&reporter);
  session.rom_type_selector = kRomTypeAuto;
  session.has_target_address = true;
  session.target_address = task.address;
  RomJob job(session);
  job.firmware_path = task.firmware_path;
  job.config_path = task.config_path;
  BoardFacts facts;
  ExitCode result = task.eui ? WriteEuiFile(task, &job.eui64_path) : kExitOk;
  if (result == 0) {
    StartedLibrary library;
    result = library.Start(session);
    if (result == 0) {
      PreparedImage image;
      result = ProgramBoard(job, image, &facts);
      NoticeStopRequest(session, &job.stop);
      result = library.Stop(session, result);
    }
  }
  if (!job.eui64_path.empty()) {
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(job.eui64_path), ignored);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  DoneMessage done;
  done.settlements = Settle(task, facts, result, first_reason, seconds, &record);
  done.result = static_cast<int32_t>(record.result);
  done.journaled = Journaled(task, journal.get(), done.settlements);
  SendToParent(done);
  return static_cast<ExitCode>(done.result);
}
