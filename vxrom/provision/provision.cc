#include "vxrom/provision/provision.h"

#include <algorithm>

#include "device/exit_codes.h"
#include "device/library_loader.h"
#include "device/session.h"
#include "device/target.h"
#include "line/record_json.h"
#include "line/serials.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/private_folder.h"
#include "platform/process.h"
#include "platform/program.h"
#include "platform/stop.h"
#include "platform/text.h"
#include "rom/image_source.h"
#include "rom/job.h"
#include "store/delivery.h"
#include "store/journal.h"
#include "store/recovery.h"
#include "vxrom/output.h"
#include "vxrom/provision/board_choice.h"
#include "vxrom/provision/job_files.h"
#include "vxrom/provision/line_host.h"
#include "vxrom/provision/line_run.h"
#include "vxrom/provision/provision_view.h"
#include "vxrom/provision/scan.h"
#include "vxrom/store_access.h"
#include "words/console_reporter.h"

using namespace device;
using namespace rom;
using namespace line;
using namespace store;

namespace {

/// Refuses the run before any prompt when the pool cannot cover the
/// boards to program.  @return 0, -21 or a store failure's code.
ExitCode CheckPoolCovers(const ProvisionOptions& options, Store& store, const std::vector<BoardState>& boards) {
  if (options.no_eui) return kExitOk;
  // A board that keeps its number takes none from the pool.
  const size_t wanted = static_cast<size_t>(std::count_if(
      boards.begin(), boards.end(), [](const BoardState& b) { return b.stage != BoardStage::kSkipped && !b.keeps; }));
  PoolCounts counts;
  std::string reason;
  StoreStatus status = store.Counts(&counts, &reason);
  std::optional<uint64_t> low;
  if (status == StoreStatus::kOk)
    status = Watermark(options.low_water, store, counts.free >= wanted ? counts.free - wanted : 0, &low, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  if (counts.free >= wanted) return kExitOk;
  VxromReason("the pool has " + std::to_string(counts.free) + " free EUI-64" + (counts.free == 1 ? "" : "s") +
              " for " + std::to_string(wanted) + " board" + (wanted == 1 ? "" : "s") +
              ": nothing reserved, no ROM touched (vxrom pool add adds more)");
  return kExitPoolTooSmall;
}

/// The serials of the boards to program: from --serial, or scanned.
ExitCode BindSerials(const ProvisionOptions& options, Store& store, std::vector<BoardState>* boards) {
  SerialRules rules;
  SlotLabels slots;
  std::string why;
  if (!MakeSerialRules(options.serial_pattern, &rules, &why) ||
      (!options.slots_path.empty() && !ReadSlots(options.slots_path, &slots, &why))) {
    VxromReason(why);
    return kExitCommandLine;
  }
  const ProgrammedLookup programmed = [&store](const std::string& serial,
                                               std::optional<HistoryRecord>* record,
                                               std::string* reason) {
    return store.ProgrammedSerial(serial, record, reason);
  };
  const LineReader read = [](const std::string& prompt, std::string* line) {
    platform::WriteConsoleText(stderr, platform::WideFromUtf8(prompt));
    fflush(stderr);
    return platform::ReadTerminalLine(line);
  };
  return AssignSerials(options, rules, slots, programmed, read, boards);
}

RunIdentity NewRun(const ProvisionOptions& options) {
  RunIdentity run;
  run.host = platform::HostName();
  // The host's name as Linux gives it, in lower case: Windows gives the
  // same PC's name in capitals.
  run.station = options.station.empty() ? SerialKey(run.host) : options.station;
  run.pid = platform::CurrentProcessId();
  run.pid_start = platform::ProcessStartTime(run.pid);
  run.run_id = NewEntryId().substr(0, 16) + "-" + std::to_string(run.pid);
  return run;
}

/// What every board's worker is handed.
std::vector<WorkerTask> Tasks(const ProvisionOptions& options, const RunIdentity& run,
                              const StoreName& store, const std::string& journal,
                              const std::string& folder, const std::string& job,
                              const std::vector<BoardState>& boards) {
  std::vector<WorkerTask> tasks;
  for (const BoardState& b : boards) {
    WorkerTask t;
    t.firmware_path = options.firmware_path;
    t.config_path = options.config_path;
    t.address = b.address;
    t.eui = b.eui;
    t.eui_folder = folder;
    t.run_id = run.run_id;
    t.station = run.station;
    // A board that keeps its number keeps its serial, unless named anew.
    t.serial = b.serial || !b.keeps ? b.serial : b.rom_serial;
    t.chip_revision = b.chip_revision;
    t.supersedes = b.supersedes;
    t.keeps = b.keeps;
    t.job = job;
    t.journal = journal;
    t.store_id = store.id;
    t.store_url = store.url;
    tasks.push_back(t);
  }
  return tasks;
}

ViewMode ChooseMode(const CommonOptions& common) {
  if (common.json) return ViewMode::kJson;
  if (platform::IsTerminal(stdout) && platform::EnableTerminalSequences(stdout)) return ViewMode::kTerminal;
  return ViewMode::kLines;
}

/// Says what the delivery of the run's settlements left undone.
/// @return true when every settlement is on the store.
bool AllDelivered(const DeliveryThread& delivery, const DeliveryTally& tally,
                  const std::string& journal) {
  if (tally.waiting == 0 && tally.lost == 0) return true;
  if (tally.waiting > 0)
    VxromReason(std::to_string(tally.waiting) + " board record" + (tally.waiting == 1 ? "" : "s") +
                " of this station wait in its journal " + journal + ", not yet on the store (" +
                tally.reason + "): the next vxrom pool, provision or history command delivers them");
  // The last resort: neither the journal nor the store took these, so
  // they are told in full, for someone to enter by hand.
  for (const Settlement& s : delivery.lost())
    VxromReason("a board record kept nowhere: " +
                (s.record ? JsonText(RecordJson(*s.record)) : std::string("(no record)")) +
                ", EUI-64 " + (s.number ? FormatEui64Value(*s.number) : std::string("none")) + " " +
                OutcomeName(s.outcome));
  return false;
}

/// Opens the station's journal, delivers what waits in it for the store,
/// and settles the reservations of this station's dead runs.
std::unique_ptr<Journal> PrepareStation(Store& store, const StoreName& name, const RunIdentity& run,
                                        ExitCode* result) {
  std::string reason;
  std::unique_ptr<Journal> journal = Journal::Open(Journal::DefaultPath(), false, &reason);
  if (!journal) {
    VxromReason(reason + ": no board touched");
    *result = kExitDatabase;
    return nullptr;
  }
  DeliverAtStart(store, *journal);
  if (!journal->Tidy(&reason)) VxromReason(reason);
  if (!journal->AddProcess(run.run_id, {run.pid, run.pid_start}, &reason)) VxromReason(reason);
  RecoveryTally recovered;
  StoreStatus status = RecoverDeadRuns(
      store, *journal, name, run,
      [](const RunProcess& p) { return platform::ProcessAlive(p.pid, p.start); },
      &recovered, &reason);
  if (status != StoreStatus::kOk) {
    *result = StoreFailure(status, reason);
    return nullptr;
  }
  if (recovered.spoiled > 0)
    VxromReason(std::to_string(recovered.spoiled) + " EUI-64s reserved by an earlier run of station \"" +
                run.station + "\" that ended without their results are spoiled (vxrom history tells which)");
  *result = kExitOk;
  return journal;
}

/// Reserves one number a board, in one transaction, for the boards to
/// program that keep none of their own; the numbers' files go to folder.
ExitCode ReserveNumbers(Store& store, const RunIdentity& run, RunFolder& folder,
                        std::vector<BoardState>* boards) {
  std::vector<BoardClaim> claims;
  std::vector<BoardState*> taking;
  for (BoardState& b : *boards) {
    if (b.stage == BoardStage::kSkipped || b.keeps) continue;
    claims.push_back({FormatPciAddress(b.address), b.serial, b.rework});
    taking.push_back(&b);
  }
  std::vector<uint64_t> numbers;
  std::string reason;
  const StoreStatus status = store.Reserve(run, claims, false, &numbers, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  for (size_t i = 0; i < taking.size(); ++i) taking[i]->eui = numbers[i];
  if (!folder.Make()) VxromReason("every board fails before its erase");
  return kExitOk;
}

/// The run's exit code, after the words its end needs.
ExitCode RunOutcome(const ProvisionTally& tally, size_t boards, bool delivered) {
  if (tally.untouched > 0)
    VxromReason("a request to stop: the boards in progress were finished, " +
                std::to_string(tally.untouched) + " left untouched");
  if (tally.failed > 0)
    VxromReason(std::to_string(tally.failed) + " of " + std::to_string(boards) + " boards failed");
  if (!delivered) return kExitRecordsWaiting;
  if (tally.failed > 0) return kExitBoardsFailed;
  if (tally.programmed == 0 && tally.untouched == 0)
    VxromReason("every chosen board is programmed already: nothing written (--rework ADDRESS programs one anew)");
  return tally.untouched > 0 ? kExitStopped : kExitOk;
}

}  // namespace

ExitCode ProvisionCommand(const CommonOptions& common, const ProvisionOptions& given) {
  const std::string url = StoreUrl(common);
  std::unique_ptr<Store> store = OpenStore(url);
  if (!store) return kExitDatabase;
  const StoreName name = {store->store_id(), MaskCredentials(url)};
  const RunIdentity run = NewRun(given);
  ExitCode result = kExitOk;
  std::unique_ptr<Journal> journal = PrepareStation(*store, name, run, &result);
  if (!journal) return result;
  // With a released job, its files stand in for the operator's.
  ProvisionOptions options = given;
  RunFolder folder;
  std::string job;
  std::vector<BoardState> boards;
  if ((result = TakeJob(*store, folder, &options, &job)) != 0 ||
      (result = ChooseBoards(options, &boards)) != 0 ||
      (result = SkipProgrammed(options, *store, &boards)) != 0 ||
      (result = CheckPoolCovers(options, *store, boards)) != 0 ||
      (result = BindSerials(options, *store, &boards)) != 0)
    return result;
  // From the reservation on, a stop request lets the run settle every
  // number it holds.
  platform::HoldStopRequests();
  if (!options.no_eui && (result = ReserveNumbers(*store, run, folder, &boards)) != 0) return result;
  LineSetup setup;
  platform::ExecutablePath(&setup.program);
  setup.tasks = Tasks(options, run, name, journal->path(), folder.path(), job, boards);
  setup.jobs = options.jobs;
  setup.board_seconds = options.board_timeout;
  setup.store = name;
  std::string no_colour;
  const bool colour = !platform::GetEnvironment("NO_COLOR", &no_colour) || no_colour.empty();
  ProvisionView view(ChooseMode(common), colour, boards);
  view.Begin();
  DeliveryThread delivery(url, name.id, run.run_id, journal->path());
  std::unique_ptr<LineHost> host = SystemLineHost();
  const ProvisionTally tally = ProvisionRun(*host, *journal, delivery, view, setup, boards).Run();
  view.Summary(tally);
  const DeliveryTally delivered = delivery.Finish();
  return RunOutcome(tally, boards.size(), AllDelivered(delivery, delivered, journal->path()));
}
