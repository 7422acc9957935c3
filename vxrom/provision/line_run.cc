#include "vxrom/provision/line_run.h"

#include <algorithm>

#include "device/exit_codes.h"
#include "line/board_limit.h"
#include "platform/text.h"
#include "store/store.h"
#include "vxrom/output.h"

using namespace device;
using namespace line;
using namespace store;

namespace {

/// How often the loop looks at the workers when none writes, ms.
const uint32_t kWaitMs = 100;

}  // namespace

ProvisionRun::ProvisionRun(LineHost& host, Journal& journal, SettlementSink& sink,
                           BoardObserver& observer, const LineSetup& setup,
                           std::vector<BoardState>& boards)
    : host_(host), journal_(journal), sink_(sink), observer_(observer), setup_(setup), boards_(boards), workers_(boards.size()) {}

void ProvisionRun::Keep(const std::vector<Settlement>& settlements) {
  for (const Settlement& s : settlements) {
    std::string why;
    if (!journal_.Keep(s, setup_.store, &why)) {
      VxromReason(why);
      sink_.NotJournaled(s);
    }
  }
  sink_.Journaled();
}

bool ProvisionRun::StartWorker(size_t i) {
  Worker& w = workers_[i];
  w.start_ms = host_.NowMs();
  w.started = UtcTimestamp();
  std::string why;
  if (!host_.Spawn(EncodeTask(setup_.program, setup_.tasks[i]), &w.id, &why)) {
    w.reason = "cannot start its worker: " + why;
    SettleBoard(i, false, kExitFailed);
    return false;
  }
  // Noted before the worker notes itself: a parent killed now leaves a
  // run whose worker still counts as alive.
  if (!journal_.AddProcess(setup_.tasks[i].run_id, host_.Process(w.id), &why)) VxromReason(why);
  w.running = true;
  BoardState& board = boards_[i];
  board.stage = BoardStage::kRunning;
  board.phase = "started";
  board.percent = 0;
  observer_.Changed(i);
  return true;
}

void ProvisionRun::TakeLine(size_t i, const std::string& raw) {
  std::string line = raw;
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  if (line.empty()) return;
  Worker& w = workers_[i];
  WorkerMessage message;
  std::string why;
  if (!DecodeMessage(line, &message, &why)) {
    // A reason in vxrom's own words: the first says what went wrong.
    const std::string prefix = "vxrom: ";
    if (why.empty() && line.rfind(prefix, 0) == 0) line = line.substr(prefix.size());
    if (w.reason.empty()) w.reason = why.empty() ? line : "its worker sent a malformed message: " + why;
    return;
  }
  BoardState& board = boards_[i];
  if (auto* target = std::get_if<TargetMessage>(&message)) w.target = *target;
  if (auto* image = std::get_if<ImageMessage>(&message)) w.image_sha256 = image->sha256;
  if (std::holds_alternative<TouchingMessage>(message)) w.touching = true;
  if (auto* done = std::get_if<DoneMessage>(&message)) w.done = *done;
  if (auto* phase = std::get_if<PhaseMessage>(&message)) {
    if (phase->phase != board.phase || phase->percent != board.percent) {
      board.phase = phase->phase;
      board.percent = phase->percent;
      observer_.Changed(i);
    }
  }
}

void ProvisionRun::ReadWorker(size_t i) {
  Worker& w = workers_[i];
  const platform::ChildOutput got = host_.Read(w.id, &w.pending);
  size_t end;
  while ((end = w.pending.find('\n')) != std::string::npos) {
    TakeLine(i, w.pending.substr(0, end));
    w.pending.erase(0, end + 1);
  }
  if (got != platform::ChildOutput::kEnd) return;
  if (!w.pending.empty()) TakeLine(i, w.pending);
  w.pending.clear();
  bool signalled = false;
  const int code = host_.Reap(w.id, &signalled);
  w.running = false;
  SettleBoard(i, signalled, code);
}

void ProvisionRun::EndOverdue() {
  const uint64_t now = host_.NowMs();
  for (size_t i = 0; i < workers_.size(); ++i) {
    Worker& w = workers_[i];
    if (!w.running || w.overdue || w.done) continue;
    const uint32_t limit = setup_.board_seconds ? setup_.board_seconds : DefaultBoardSeconds(w.target);
    if (now - w.start_ms <= uint64_t{limit} * 1000) continue;
    w.overdue = true;
    w.reason = "it did not finish its " + boards_[i].phase + " within " + std::to_string(limit) +
               " s (--board-timeout): its worker was ended";
    host_.Kill(w.id);
  }
}

HistoryRecord ProvisionRun::ParentRecord(size_t i, int32_t result, const std::string& reason) const {
  const Worker& w = workers_[i];
  const WorkerTask& task = setup_.tasks[i];
  HistoryRecord r;
  r.started = w.started.empty() ? UtcTimestamp() : w.started;
  r.finished = UtcTimestamp();
  r.station = task.station;
  r.host = platform::HostName();
  r.serial = task.serial;
  r.address = FormatPciAddress(task.address);
  r.chip_revision = task.chip_revision;
  if (w.target && w.target->rom_type != 0) r.rom_type = w.target->rom_type;
  if (task.eui) r.eui64 = FormatEui64Value(*task.eui);
  r.image_sha256 = w.image_sha256;
  r.result = result;
  r.reason = reason;
  r.duration_s = static_cast<double>(host_.NowMs() - w.start_ms) / 1000;
  r.version = VXROM_VERSION;
  return r;
}

void ProvisionRun::SettleBoard(size_t i, bool signalled, int exit_code) {
  Worker& w = workers_[i];
  BoardState& board = boards_[i];
  if (w.done) {
    board.result = w.done->result;
    const Settlement* own = w.done->settlements.empty() ? nullptr : &w.done->settlements[0];
    board.reason = own && own->record && own->record->reason ? *own->record->reason : w.reason;
    if (w.done->journaled)
      sink_.Journaled();
    else
      Keep(w.done->settlements);
  } else if (!w.touching && host_.StopRequested() && !w.overdue) {
    return SettleUntouched(i);
  } else {
    SettleDeadWorker(i, signalled, exit_code);
  }
  const bool passed = board.result == 0;
  board.stage = passed ? BoardStage::kPassed : BoardStage::kFailed;
  board.phase = passed ? "passed" : "failed";
  if (passed) board.reason.clear();
  ++(passed ? tally_.programmed : tally_.failed);
  observer_.Finished(i);
}

void ProvisionRun::SettleDeadWorker(size_t i, bool signalled, int exit_code) {
  Worker& w = workers_[i];
  BoardState& board = boards_[i];
  const WorkerTask& task = setup_.tasks[i];
  board.result = exit_code != 0 && !signalled && !w.overdue ? exit_code : kExitFailed;
  board.reason = !w.reason.empty() ? w.reason
                 : signalled       ? "its worker was killed before it told a result"
                 : exit_code != 0  ? "its worker ended with exit code " + std::to_string(exit_code)
                                   : "its worker ended without telling a result";
  // It may have settled its board before it died: that settlement stands.
  std::optional<JournalEntry> kept;
  std::string why;
  if (task.eui && journal_.Find(task.run_id, *task.eui, &kept, &why) && kept) {
    if (kept->settlement.record) board.result = static_cast<int>(kept->settlement.record->result);
    if (board.result == 0) board.reason.clear();
    return sink_.Journaled();
  }
  Settlement s;
  s.entry_id = NewEntryId();
  s.run_id = task.run_id;
  s.number = task.eui;
  s.outcome = w.touching ? Outcome::kSpoiled : Outcome::kReleased;
  s.record = ParentRecord(i, board.result, board.reason);
  std::vector<Settlement> settlements = {s};
  if (w.touching) {
    const std::vector<Settlement> retired = Superseded(task, *s.record);
    settlements.insert(settlements.end(), retired.begin(), retired.end());
  }
  Keep(settlements);
}

void ProvisionRun::SettleUntouched(size_t i) {
  BoardState& board = boards_[i];
  board.stage = BoardStage::kUntouched;
  board.phase = "untouched";
  ++tally_.untouched;
  const WorkerTask& task = setup_.tasks[i];
  if (task.eui) {
    Settlement s;
    s.entry_id = NewEntryId();
    s.run_id = task.run_id;
    s.number = task.eui;
    s.outcome = Outcome::kReleased;
    Keep({s});
  }
  observer_.Finished(i);
}

ProvisionTally ProvisionRun::Run() {
  const size_t jobs = setup_.jobs == 0 ? boards_.size() : setup_.jobs;
  size_t next = 0, running = 0;
  for (;;) {
    // No board starts once a stop was asked for.
    while (next < boards_.size() && running < jobs && !host_.StopRequested()) {
      if (boards_[next].stage == BoardStage::kSkipped) {
        ++next;
        ++tally_.skipped;
      } else if (StartWorker(next++)) {
        ++running;
      }
    }
    if (running == 0) break;
    host_.Wait(kWaitMs);
    for (size_t i = 0; i < workers_.size(); ++i) {
      if (!workers_[i].running) continue;
      ReadWorker(i);
      if (!workers_[i].running) --running;
    }
    EndOverdue();
    observer_.Tick();
  }
  for (size_t i = next; i < boards_.size(); ++i) {
    if (boards_[i].stage == BoardStage::kSkipped)
      ++tally_.skipped;
    else
      SettleUntouched(i);
  }
  return tally_;
}
