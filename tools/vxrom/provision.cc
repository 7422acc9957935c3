#include "vxrom/provision.h"

#include <chrono>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
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
#include "vxrom/text.h"

namespace {

using Clock = std::chrono::steady_clock;

void Reason(const std::string& text) {
  VxromReasons().Reason(L"%ls", platform::WideFromUtf8(text).c_str());
}

/// A board's worker and what it has said so far.
struct Worker {
  platform::ChildProcess child;
  std::string pending;  ///< Output not yet a whole line.
  bool running = false;
  bool touching = false;  ///< The erase may have begun.
  bool done = false;      ///< It told its result.
  int result = 0;
  std::string reason;
  HistoryRecord record;
  Clock::time_point start;
};

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
  std::random_device random;
  char id[40];
  snprintf(id, sizeof id, "%08x%08x-%llu", random(), random(),
           static_cast<unsigned long long>(run.pid));
  run.run_id = id;
  return run;
}

/// The words that start a board's worker.
std::vector<std::wstring> WorkerArguments(const VxromOptions& options,
                                          const std::wstring& program,
                                          const BoardState& board) {
  std::vector<std::wstring> args = {program, L"provision-board", options.firmware_path};
  if (!options.config_path.empty()) args.push_back(options.config_path);
  args.push_back(L"--address");
  args.push_back(platform::WideFromUtf8(FormatPciAddress(board.address)));
  if (board.eui) {
    args.push_back(L"--eui");
    args.push_back(platform::WideFromUtf8(FormatEui64Value(*board.eui)));
  }
  return args;
}

/// The orchestration of one run after the numbers are reserved.
class Line {
 public:
  Line(const VxromOptions& options, Store& store, const RunIdentity& run,
       std::vector<BoardState>& boards, ProvisionView& view)
      : options_(options), store_(store), run_(run), boards_(boards), view_(view), workers_(boards.size()) {}

  ProvisionTally Run();

 private:
  bool Start(size_t i);
  void Hear(size_t i, const std::string& line);
  void Settle(size_t i, bool signalled);
  void Record(size_t i, Outcome outcome);

  const VxromOptions& options_;
  Store& store_;
  const RunIdentity& run_;
  std::vector<BoardState>& boards_;
  ProvisionView& view_;
  std::vector<Worker> workers_;
  ProvisionTally tally_;
  std::wstring program_;
};

bool Line::Start(size_t i) {
  BoardState& board = boards_[i];
  Worker& w = workers_[i];
  w.start = Clock::now();
  w.record.started = UtcTimestamp();
  std::wstring why;
  if (!platform::SpawnChild(program_, WorkerArguments(options_, program_, board), &w.child, &why)) {
    w.result = -1;
    w.reason = "cannot start its worker: " + platform::Utf8FromWide(why);
    Settle(i, false);
    return false;
  }
  w.running = true;
  board.stage = BoardStage::kRunning;
  board.phase = "started";
  board.percent = 0;
  view_.Changed(i);
  return true;
}

void Line::Hear(size_t i, const std::string& raw) {
  std::string line = raw;
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  if (line.empty()) return;
  Worker& w = workers_[i];
  BoardState& board = boards_[i];
  if (line[0] != '{') {
    // A reason, in the words vxrom uses on its own: the first one says
    // what went wrong.
    const std::string prefix = "vxrom: ";
    if (line.rfind(prefix, 0) == 0) line = line.substr(prefix.size());
    if (w.reason.empty()) w.reason = line;
    return;
  }
  nlohmann::json e = nlohmann::json::parse(line, nullptr, false);
  if (e.is_discarded() || !e.is_object() || !e.contains("event")) return;
  const std::string kind = e["event"].get<std::string>();
  if (kind == "touching") w.touching = true;
  if (kind == "rom_type") w.record.rom_type = e["rom_type"].get<int64_t>();
  if (kind == "image") w.record.image_sha256 = e["sha256"].get<std::string>();
  if (kind == "info") {
    const std::string version = e["firmware_version"].get<std::string>();
    if (!version.empty()) w.record.firmware_version = version;
    w.record.subsystem_vendor_id = e["subsystem_vendor_id"].get<int64_t>();
    w.record.subsystem_id = e["subsystem_id"].get<int64_t>();
  }
  if (kind == "done") {
    w.done = true;
    w.result = e["result"].get<int>();
  }
  if (kind == "phase") {
    const std::string phase = e["phase"].get<std::string>();
    const uint32_t percent = e["percent"].get<uint32_t>();
    if (phase != board.phase || percent != board.percent) {
      board.phase = phase;
      board.percent = percent;
      view_.Changed(i);
    }
  }
}

void Line::Record(size_t i, Outcome outcome) {
  BoardState& board = boards_[i];
  Worker& w = workers_[i];
  HistoryRecord& r = w.record;
  r.finished = UtcTimestamp();
  r.station = run_.station;
  r.host = run_.host;
  r.serial = board.serial;
  r.address = FormatPciAddress(board.address);
  r.chip_revision = board.chip_revision;
  if (board.eui) r.eui64 = FormatEui64Value(*board.eui);
  r.result = board.result;
  if (!board.reason.empty()) r.reason = board.reason;
  r.duration_s = std::chrono::duration<double>(Clock::now() - w.start).count();
  r.version = VXROM_VERSION;
  std::string why;
  if (store_.Finish(run_, board.eui, outcome, r, &why) != StoreStatus::kOk) {
    // The number stays reserved: the station's next run spoils it, so it
    // is never handed out again.
    Reason(r.address + ": the result could not be recorded: " + why);
  }
}

void Line::Settle(size_t i, bool signalled) {
  BoardState& board = boards_[i];
  Worker& w = workers_[i];
  w.running = false;
  const bool stopped = !w.done && !w.touching && platform::StopRequested();
  if (w.done && w.result == 0) {
    board.stage = BoardStage::kPassed;
    board.phase = "passed";
    board.result = 0;
    board.reason.clear();
    ++tally_.programmed;
    Record(i, Outcome::kProgrammed);
  } else if (stopped) {
    // Ended by the operator's stop before its erase: untouched, its
    // number back in the pool.
    board.stage = BoardStage::kUntouched;
    board.phase = "untouched";
    ++tally_.untouched;
    std::string why;
    if (board.eui && store_.Release(run_, {*board.eui}, &why) != StoreStatus::kOk)
      Reason(FormatPciAddress(board.address) + ": its EUI-64 could not be released: " + why);
  } else {
    board.stage = BoardStage::kFailed;
    board.result = w.done ? w.result : -1;
    board.reason = !w.reason.empty() ? w.reason
                   : signalled       ? "its worker was killed before it told a result"
                                     : "its worker ended without telling a result";
    if (w.done && w.result == 0) board.reason.clear();
    board.phase = "failed";
    ++tally_.failed;
    Record(i, w.touching ? Outcome::kSpoiled : Outcome::kReleased);
  }
  view_.Finished(i);
}

ProvisionTally Line::Run() {
  if (!platform::ExecutablePath(&program_)) program_.clear();
  const size_t jobs = options_.jobs == 0 ? boards_.size() : options_.jobs;
  size_t next = 0, running = 0;
  for (;;) {
    // No board starts once a stop was asked for.
    while (next < boards_.size() && running < jobs && !platform::StopRequested())
      if (Start(next++)) ++running;
    if (running == 0) break;
    std::vector<platform::ChildProcess*> children;
    for (Worker& w : workers_)
      if (w.running) children.push_back(&w.child);
    platform::WaitForChildren(children, 100);
    for (size_t i = 0; i < workers_.size(); ++i) {
      Worker& w = workers_[i];
      if (!w.running) continue;
      platform::ChildOutput got = platform::ReadChild(&w.child, &w.pending);
      size_t end;
      while ((end = w.pending.find('\n')) != std::string::npos) {
        Hear(i, w.pending.substr(0, end));
        w.pending.erase(0, end + 1);
      }
      if (got != platform::ChildOutput::kEnd) continue;
      if (!w.pending.empty()) Hear(i, w.pending);
      bool signalled = false;
      const int code = platform::ReapChild(&w.child, &signalled);
      if (!w.done && !signalled && code != 0 && w.reason.empty())
        w.reason = "its worker ended with exit code " + std::to_string(code);
      Settle(i, signalled);
      --running;
    }
    view_.Tick();
  }
  // Boards never started: their numbers go back.
  std::vector<uint64_t> unused;
  for (size_t i = next; i < boards_.size(); ++i) {
    boards_[i].stage = BoardStage::kUntouched;
    boards_[i].phase = "untouched";
    if (boards_[i].eui) unused.push_back(*boards_[i].eui);
    ++tally_.untouched;
    view_.Finished(i);
  }
  std::string why;
  if (store_.Release(run_, unused, &why) != StoreStatus::kOk)
    Reason("the EUI-64s of the untouched boards could not be released: " + why);
  return tally_;
}

ViewMode ChooseMode(const VxromOptions& options) {
  if (options.json) return ViewMode::kJson;
  if (platform::IsTerminal(stdout) && platform::EnableTerminalSequences(stdout)) return ViewMode::kTerminal;
  return ViewMode::kLines;
}

}  // namespace

int ProvisionCommand(const VxromOptions& options) {
  std::unique_ptr<Store> store = OpenOptionsStore(options);
  if (!store) return kExitDatabase;
  const RunIdentity run = NewRun(options);
  std::string reason;
  uint64_t spoiled = 0;
  StoreStatus status = store->Recover(run, platform::ProcessAlive, &spoiled, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  if (spoiled > 0)
    Reason(std::to_string(spoiled) + " EUI-64s reserved by an earlier run of station \"" +
           run.station + "\" that ended without their results are spoiled (vxrom history tells which)");
  std::vector<BoardState> boards;
  int result = ChooseBoards(options, &boards);
  if (result != 0) return result;
  if ((result = AssignSerials(options, *store, &boards)) != 0) return result;
  // From the reservation on, a stop request lets the run settle every
  // number it holds.
  platform::HoldStopRequests();
  if (!options.no_eui) {
    std::vector<BoardClaim> claims;
    for (const BoardState& b : boards)
      claims.push_back({FormatPciAddress(b.address), b.serial});
    std::vector<uint64_t> numbers;
    status = store->Reserve(run, claims, options.rework, &numbers, &reason);
    if (status != StoreStatus::kOk) return StoreFailure(status, reason);
    for (size_t i = 0; i < boards.size(); ++i) boards[i].eui = numbers[i];
  }
  std::string no_colour;
  const bool colour = !platform::GetEnvironment("NO_COLOR", &no_colour) || no_colour.empty();
  ProvisionView view(ChooseMode(options), colour, boards);
  view.Begin();
  Line line(options, *store, run, boards, view);
  const ProvisionTally tally = line.Run();
  view.Summary(tally);
  if (tally.untouched > 0)
    Reason("a request to stop: the boards in progress were finished, " +
           std::to_string(tally.untouched) + " left untouched");
  if (tally.failed > 0) {
    Reason(std::to_string(tally.failed) + " of " + std::to_string(boards.size()) + " boards failed");
    return kExitBoardsFailed;
  }
  return tally.untouched > 0 ? kExitStopped : 0;
}
