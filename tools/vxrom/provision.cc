#include "vxrom/provision.h"

#include <set>

#include "app/console_reporter.h"
#include "device/library_loader.h"
#include "device/session.h"
#include "device/target.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/program.h"
#include "platform/stop.h"
#include "platform/text.h"
#include "rom/image_source.h"
#include "rom/job.h"
#include "vxrom/exit_codes.h"
#include "vxrom/pool.h"
#include "vxrom/provision_view.h"
#include "platform/private_folder.h"
#include "vxrom/delivery.h"
#include "vxrom/journal.h"
#include "vxrom/line_host.h"
#include "vxrom/line_run.h"
#include "vxrom/record_json.h"
#include "vxrom/recovery.h"
#include "vxrom/text.h"

namespace {

void Reason(const std::string& text) {
  VxromReasons().Reason(L"%ls", platform::WideFromUtf8(text).c_str());
}

/// The controllers the firmware is for: enumerated and the image's
/// revision read with the library started, which is stopped again before
/// any worker opens a controller.
int ChooseBoards(const VxromOptions& options, std::vector<BoardState>* boards) {
  const Console console(nullptr, L"vxrom");
  ConsoleReporter reporter(console, L"--address", L"--no-revision-check");
  DeviceSession session(&reporter);
  session.rom_type_selector = kRomTypeAuto;
  RomJob job(session);
  job.firmware_path = options.firmware_path;
  job.config_path = options.config_path;
  StartedLibrary library;
  int result = library.Start(session);
  if (result != 0) return result;
  RomBuffer image;
  uint8_t revision = NO_REVISION;
  if ((result = LoadSomeDevices(session)) == 0 &&
      (result = AllocateRomBuffer(session, kMaxImageSize, &image)) == 0 &&
      (result = UpdateImage(job, nullptr, image.get())) == 0)
    result = ImageRevision(job, image.get(), kMaxImageSize, &revision);
  if (result == 0) {
    for (uint32_t i = 0; i < session.devices.count; ++i) {
      const DeviceRecord& record = session.devices.list[i];
      if (!IsSupportedChip(record.chip_revision) || !RevisionMatches(revision, record.chip_revision)) continue;
      BoardState board;
      board.address = record.address;
      board.chip_revision = record.chip_revision;
      boards->push_back(board);
    }
    if (boards->empty()) {
      Reason("no controller of chip revision " + std::to_string(revision) +
             ", which the firmware is for: nothing written");
      result = -6;
    }
  }
  return library.Stop(session, result);
}

/// --serial ADDRESS=TEXT and --scan: each board's label, checked before
/// any board is touched.
int AssignSerials(const VxromOptions& options, Store& store, std::vector<BoardState>* boards) {
  std::set<std::string> seen;
  auto take = [&](BoardState& board, const std::string& serial) {
    if (!seen.insert(serial).second) {
      Reason("serial \"" + serial + "\" is given for two boards: no board touched");
      return false;
    }
    board.serial = serial;
    return true;
  };
  for (const std::string& word : options.serials) {
    const size_t equals = word.find('=');
    PciAddress address = kNoAddress;
    if (equals == std::string::npos || equals + 1 == word.size() ||
        !ParsePciAddress(word.substr(0, equals), &address)) {
      Reason("--serial " + word + ": not ADDRESS=TEXT (e.g. 04:00.0=SN1234)");
      return -4;
    }
    BoardState* found = nullptr;
    for (BoardState& b : *boards)
      if (b.address == address) found = &b;
    if (!found) {
      Reason("--serial " + word + ": no board at " + FormatPciAddress(address) + " is chosen for this firmware");
      return -4;
    }
    if (found->serial) {
      Reason("--serial names " + FormatPciAddress(address) + " twice");
      return -4;
    }
    if (!take(*found, word.substr(equals + 1))) return -4;
  }
  if (options.scan) {
    for (BoardState& b : *boards) {
      platform::WriteConsoleText(stderr, L"board at " + platform::WideFromUtf8(FormatPciAddress(b.address)) + L": ");
      fflush(stderr);
      std::string line;
      if (!platform::ReadTerminalLine(&line) || line.empty()) {
        Reason("no serial for the board at " + FormatPciAddress(b.address) + ": no board touched");
        return -4;
      }
      if (!platform::IsUtf8(line)) {
        Reason("the serial scanned for the board at " + FormatPciAddress(b.address) +
               " is not valid text: no board touched");
        return -4;
      }
      if (!take(b, line)) return -4;
    }
  }
  if (options.rework) return 0;
  for (const BoardState& b : *boards) {
    if (!b.serial) continue;
    bool programmed = false;
    std::string reason;
    StoreStatus status = store.SerialProgrammed(*b.serial, &programmed, &reason);
    if (status != StoreStatus::kOk) return StoreFailure(status, reason);
    if (programmed) {
      Reason("serial \"" + *b.serial + "\" (" + FormatPciAddress(b.address) +
             ") is in history as programmed already (--rework records a new "
             "attempt): no board touched");
      return kExitSerialProgrammed;
    }
  }
  return 0;
}

RunIdentity NewRun(const VxromOptions& options) {
  RunIdentity run;
  run.host = platform::HostName();
  run.station = options.station.empty() ? run.host : options.station;
  run.pid = platform::CurrentProcessId();
  run.pid_start = platform::ProcessStartTime(run.pid);
  run.run_id = NewEntryId().substr(0, 16) + "-" + std::to_string(run.pid);
  return run;
}

/// What every board's worker is handed.
std::vector<WorkerTask> Tasks(const VxromOptions& options, const RunIdentity& run,
                              const StoreName& store, const std::string& journal,
                              const std::string& folder, const std::vector<BoardState>& boards) {
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
    t.serial = b.serial;
    t.chip_revision = b.chip_revision;
    t.journal = journal;
    t.store_id = store.id;
    t.store_url = store.url;
    tasks.push_back(t);
  }
  return tasks;
}

ViewMode ChooseMode(const VxromOptions& options) {
  if (options.json) return ViewMode::kJson;
  if (platform::IsTerminal(stdout) && platform::EnableTerminalSequences(stdout)) return ViewMode::kTerminal;
  return ViewMode::kLines;
}

/// Says what the delivery of the run's settlements left undone.
/// @return true when every settlement is on the store.
bool AllDelivered(const DeliveryThread& delivery, const DeliveryTally& tally,
                  const std::string& journal) {
  if (tally.waiting == 0 && tally.lost == 0) return true;
  if (tally.waiting > 0)
    Reason(std::to_string(tally.waiting) + " board record" + (tally.waiting == 1 ? "" : "s") +
           " of this station wait in its journal " + journal + ", not yet on the store (" +
           tally.reason + "): the next vxrom pool, provision or history command delivers them");
  // The last resort: neither the journal nor the store took these, so
  // they are told in full, for someone to enter by hand.
  for (const Settlement& s : delivery.lost())
    Reason("a board record kept nowhere: " +
           (s.record ? JsonText(RecordJson(*s.record)) : std::string("(no record)")) +
           ", EUI-64 " + (s.number ? FormatEui64Value(*s.number) : std::string("none")) + " " +
           OutcomeName(s.outcome));
  return false;
}

/// Opens the station's journal, delivers what waits in it for the store,
/// and settles the reservations of this station's dead runs.
std::unique_ptr<Journal> PrepareStation(Store& store, const StoreName& name, const RunIdentity& run,
                                        int* result) {
  std::string reason;
  std::unique_ptr<Journal> journal = Journal::Open(Journal::DefaultPath(), false, &reason);
  if (!journal) {
    Reason(reason + ": no board touched");
    *result = kExitDatabase;
    return nullptr;
  }
  DeliverAtStart(store, *journal);
  if (!journal->Tidy(&reason)) Reason(reason);
  if (!journal->AddProcess(run.run_id, {run.pid, run.pid_start}, &reason)) Reason(reason);
  RecoveryTally recovered;
  StoreStatus status = RecoverDeadRuns(store, *journal, name, run,
                                       [](const RunProcess& p) { return platform::ProcessAlive(p.pid, p.start); },
                                       &recovered, &reason);
  if (status != StoreStatus::kOk) {
    *result = StoreFailure(status, reason);
    return nullptr;
  }
  if (recovered.spoiled > 0)
    Reason(std::to_string(recovered.spoiled) + " EUI-64s reserved by an earlier run of station \"" +
           run.station + "\" that ended without their results are spoiled (vxrom history tells which)");
  *result = 0;
  return journal;
}

}  // namespace

int ProvisionCommand(const VxromOptions& options) {
  const std::string url = StoreUrl(options);
  std::unique_ptr<Store> store = OpenStore(url);
  if (!store) return kExitDatabase;
  const StoreName name = {store->store_id(), MaskCredentials(url)};
  const RunIdentity run = NewRun(options);
  int result = 0;
  std::unique_ptr<Journal> journal = PrepareStation(*store, name, run, &result);
  if (!journal) return result;
  std::vector<BoardState> boards;
  if ((result = ChooseBoards(options, &boards)) != 0) return result;
  if ((result = AssignSerials(options, *store, &boards)) != 0) return result;
  // From the reservation on, a stop request lets the run settle every
  // number it holds.
  platform::HoldStopRequests();
  std::string reason, folder;
  if (!options.no_eui) {
    std::vector<BoardClaim> claims;
    for (const BoardState& b : boards)
      claims.push_back({FormatPciAddress(b.address), b.serial});
    std::vector<uint64_t> numbers;
    const StoreStatus status = store->Reserve(run, claims, options.rework, &numbers, &reason);
    if (status != StoreStatus::kOk) return StoreFailure(status, reason);
    for (size_t i = 0; i < boards.size(); ++i) boards[i].eui = numbers[i];
    std::wstring why;
    if (!platform::MakePrivateFolder("vxrom", &folder, &why))
      Reason(platform::Utf8FromWide(why) + ": every board fails before its erase");
  }
  LineSetup setup;
  platform::ExecutablePath(&setup.program);
  setup.tasks = Tasks(options, run, name, journal->path(), folder, boards);
  setup.jobs = options.jobs;
  setup.board_seconds = options.board_timeout;
  setup.store = name;
  std::string no_colour;
  const bool colour = !platform::GetEnvironment("NO_COLOR", &no_colour) || no_colour.empty();
  ProvisionView view(ChooseMode(options), colour, boards);
  view.Begin();
  DeliveryThread delivery(url, name.id, run.run_id, journal->path());
  std::unique_ptr<LineHost> host = SystemLineHost();
  const ProvisionTally tally = ProvisionRun(*host, *journal, delivery, view, setup, boards).Run();
  view.Summary(tally);
  const DeliveryTally delivered = delivery.Finish();
  platform::RemovePrivateFolder(folder);
  if (tally.untouched > 0)
    Reason("a request to stop: the boards in progress were finished, " +
           std::to_string(tally.untouched) + " left untouched");
  if (tally.failed > 0)
    Reason(std::to_string(tally.failed) + " of " + std::to_string(boards.size()) + " boards failed");
  if (!AllDelivered(delivery, delivered, journal->path())) return kExitRecordsWaiting;
  if (tally.failed > 0) return kExitBoardsFailed;
  return tally.untouched > 0 ? kExitStopped : 0;
}
