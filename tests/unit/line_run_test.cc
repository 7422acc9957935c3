// A provision run's logic in process: scripted workers on a clock that
// costs no time, a journal in memory; what becomes of each board and of
// its number when a worker passes, fails, dies, hangs or talks nonsense.
#include "vxrom/provision/line_run.h"

#include <gtest/gtest.h>

#include <map>

#include "line/board_limit.h"
#include "store/store.h"

using namespace line;
using namespace store;

namespace {

/// One scripted worker: lines it writes at given times, then its end.
struct Script {
  std::vector<std::pair<uint64_t, std::string>> lines;
  bool ends = true;  ///< false: it hangs until killed.
  int exit_code = 0;
};

class FakeLineHost : public LineHost {
 public:
  explicit FakeLineHost(std::vector<Script> scripts) : scripts_(std::move(scripts)) {}

  bool Spawn(const std::vector<std::wstring>&, size_t* worker, std::string* reason) override {
    if (spawned_ == scripts_.size() || fail_spawn_) {
      *reason = "no such program";
      return false;
    }
    *worker = spawned_++;
    state_[*worker].start = now_;
    return true;
  }
  RunProcess Process(size_t worker) override { return {1000 + worker, 1}; }
  platform::ChildOutput Read(size_t worker, std::string* text) override {
    State& s = state_[worker];
    const Script& script = scripts_[worker];
    while (s.next < script.lines.size() && script.lines[s.next].first <= now_ - s.start)
      *text += script.lines[s.next++].second + "\n";
    const bool ended = s.killed || (script.ends && s.next == script.lines.size());
    return ended ? platform::ChildOutput::kEnd : platform::ChildOutput::kNothing;
  }
  void Wait(uint32_t milliseconds) override { now_ += milliseconds; }
  void Kill(size_t worker) override { state_[worker].killed = true; }
  int Reap(size_t worker, bool* signalled) override {
    *signalled = state_[worker].killed;
    return *signalled ? -1 : scripts_[worker].exit_code;
  }
  uint64_t NowMs() override { return now_; }
  bool StopRequested() override { return stop_; }

  bool stop_ = false;
  bool fail_spawn_ = false;

 private:
  struct State {
    uint64_t start = 0;
    size_t next = 0;
    bool killed = false;
  };
  std::vector<Script> scripts_;
  std::map<size_t, State> state_;
  size_t spawned_ = 0;
  uint64_t now_ = 0;
};

class NullObserver : public BoardObserver {
 public:
  void Changed(size_t) override {}
  void Finished(size_t) override {}
  void Tick() override {}
};

class CountingSink : public SettlementSink {
 public:
  void Journaled() override { ++journaled; }
  void NotJournaled(const Settlement&) override { ++lost; }
  int journaled = 0, lost = 0;
};

const uint64_t kNumber = 0x0200000000000005ull;

/// A worker's done message for its board, journaled by it or not.
std::string Done(int32_t result, Outcome outcome, bool journaled) {
  DoneMessage done;
  done.result = result;
  done.journaled = journaled;
  Settlement s;
  s.entry_id = "worker-entry";
  s.run_id = "run";
  s.number = kNumber;
  s.outcome = outcome;
  HistoryRecord r;
  r.address = "04:00.0";
  r.result = result;
  if (result != 0) r.reason = "the ROM differs";
  s.record = r;
  done.settlements.push_back(s);
  std::string line = EncodeMessage(done);
  line.pop_back();
  return line;
}

const std::string kTouching = R"({"event":"touching"})";
const std::string kWrite = R"({"event":"phase","phase":"write","percent":0})";

struct Case {
  const char* name;
  Script script;
  BoardStage stage;
  int32_t result;
  const char* reason;           ///< Part of the board's reason.
  const char* journal_outcome;  ///< What the parent kept; "" for nothing.
};

TEST(LineRun, EachBoardSettledOnce) {
  const Case cases[] = {
      {"passes, journaled by its worker", {{{5, Done(0, Outcome::kProgrammed, true)}}}, BoardStage::kPassed, 0, "", ""},
      {"fails, its journal away", {{{5, Done(-8, Outcome::kSpoiled, false)}}}, BoardStage::kFailed, -8, "differs", "spoiled"},
      {"dies after the erase began", {{{1, kTouching}}, true, -5}, BoardStage::kFailed, -5, "exit code -5", "spoiled"},
      {"dies before the erase", {{{1, "vxrom: cannot open 04-00-0"}}, true, -1}, BoardStage::kFailed, -1, "cannot open", "released"},
      {"hangs in its write", {{{1, kTouching}, {2, kWrite}}, false}, BoardStage::kFailed, -1, "did not finish its write within 30 s", "spoiled"},
      {"sends nonsense", {{{1, R"({"event":"done","result":"x"})"}}, true, 0}, BoardStage::kFailed, -1, "malformed message", "released"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string why;
    std::unique_ptr<Journal> journal = Journal::Open(":memory:", false, &why);
    ASSERT_TRUE(journal) << why;
    FakeLineHost host({c.script});
    NullObserver observer;
    CountingSink sink;
    LineSetup setup;
    setup.board_seconds = 30;
    WorkerTask task;
    task.address = 0x0400;
    task.run_id = "run";
    task.eui = kNumber;
    setup.tasks = {task};
    std::vector<BoardState> boards(1);
    const ProvisionTally tally = ProvisionRun(host, *journal, sink, observer, setup, boards).Run();
    EXPECT_EQ(boards[0].stage, c.stage);
    EXPECT_EQ(boards[0].result, c.result);
    EXPECT_NE(boards[0].reason.find(c.reason), std::string::npos) << boards[0].reason;
    EXPECT_EQ(tally.programmed + tally.failed, 1u);
    std::vector<JournalEntry> kept;
    ASSERT_TRUE(journal->Waiting("", &kept, &why));
    ASSERT_EQ(kept.size(), *c.journal_outcome ? 1u : 0u);
    if (!kept.empty()) EXPECT_STREQ(OutcomeName(kept[0].settlement.outcome), c.journal_outcome);
    EXPECT_GE(sink.journaled, 1);
  }
}

TEST(LineRun, WorkerThatSettledThenDiedIsNotSettledTwice) {
  std::string why;
  std::unique_ptr<Journal> journal = Journal::Open(":memory:", false, &why);
  Settlement own;
  own.entry_id = "worker-entry";
  own.run_id = "run";
  own.number = kNumber;
  own.outcome = Outcome::kProgrammed;
  own.record = HistoryRecord();
  ASSERT_TRUE(journal->Keep(own, {"store", "sqlite:x"}, &why));
  FakeLineHost host({{{{1, kTouching}}, true, 0}});
  NullObserver observer;
  CountingSink sink;
  LineSetup setup;
  WorkerTask task;
  task.run_id = "run";
  task.eui = kNumber;
  setup.tasks = {task};
  std::vector<BoardState> boards(1);
  ProvisionRun(host, *journal, sink, observer, setup, boards).Run();
  EXPECT_EQ(boards[0].stage, BoardStage::kPassed);
  std::vector<JournalEntry> kept;
  ASSERT_TRUE(journal->Waiting("", &kept, &why));
  EXPECT_EQ(kept.size(), 1u);
}

TEST(LineRun, StopLeavesTheRestUntouchedAndTheirNumbersReleased) {
  std::string why;
  std::unique_ptr<Journal> journal = Journal::Open(":memory:", false, &why);
  FakeLineHost host({{{{1, Done(0, Outcome::kProgrammed, true)}}}, {}});
  host.stop_ = true;
  NullObserver observer;
  CountingSink sink;
  LineSetup setup;
  setup.jobs = 1;
  for (uint64_t n : {kNumber, kNumber + 1}) {
    WorkerTask task;
    task.run_id = "run";
    task.eui = n;
    setup.tasks.push_back(task);
  }
  std::vector<BoardState> boards(2);
  const ProvisionTally tally = ProvisionRun(host, *journal, sink, observer, setup, boards).Run();
  EXPECT_EQ(tally.untouched, 2u);
  std::vector<JournalEntry> kept;
  ASSERT_TRUE(journal->Waiting("", &kept, &why));
  ASSERT_EQ(kept.size(), 2u);
  for (const JournalEntry& e : kept) {
    EXPECT_EQ(e.settlement.outcome, Outcome::kReleased);
    EXPECT_FALSE(e.settlement.record);
  }
}

TEST(LineRun, DefaultTimeLimitFollowsThePart) {
  const uint32_t flash = DefaultBoardSeconds(TargetMessage{2, 0x8000, 256, true});
  const uint32_t eeprom = DefaultBoardSeconds(TargetMessage{0, 0x8000, 128, false});
  const uint32_t unknown = DefaultBoardSeconds(std::nullopt);
  EXPECT_LT(eeprom, flash);
  EXPECT_LT(flash, unknown);
  EXPECT_GE(eeprom, 30u);
}

}  // namespace
