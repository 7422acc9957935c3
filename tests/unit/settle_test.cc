// Settlements reach the store once whatever happens: delivered twice,
// delivered late from the journal, recovered after a run died.
#include <gtest/gtest.h>

#include "line/chain.h"
#include "store/delivery.h"
#include "store/ledger.h"
#include "store/recovery.h"

using namespace line;
using namespace store;

namespace {

const uint64_t kFirst = 0x0200000000000000ull;

struct Line {
  Line() {
    std::string why;
    store = Store::Open("sqlite::memory:", &why);
    journal = Journal::Open(":memory:", false, &why);
    EXPECT_TRUE(store && journal) << why;
    EXPECT_EQ(store->AddRanges({{kFirst, kFirst + 9}}, "pool add", &why), StoreStatus::kOk) << why;
  }
  /// Reserves n numbers for a run of station "st" on host.
  std::vector<uint64_t> Reserve(const std::string& run_id, size_t n, const std::string& host = "pc") {
    std::vector<BoardClaim> claims(n, BoardClaim{"04:00.0", std::nullopt});
    std::vector<uint64_t> numbers;
    std::string why;
    EXPECT_EQ(store->Reserve({run_id, "st", host, 42, 7}, claims, false, &numbers, &why), StoreStatus::kOk) << why;
    return numbers;
  }
  PoolCounts Counts() {
    PoolCounts counts;
    std::string why;
    EXPECT_EQ(store->Counts(&counts, &why), StoreStatus::kOk);
    return counts;
  }
  size_t HistorySize() {
    std::vector<HistoryRecord> records;
    std::string why;
    EXPECT_EQ(store->History(HistoryFilter(), &records, &why), StoreStatus::kOk);
    return records.size();
  }
  std::unique_ptr<Store> store;
  std::unique_ptr<Journal> journal;
};

Settlement Programmed(const std::string& run_id, uint64_t number) {
  Settlement s;
  s.entry_id = NewEntryId();
  s.run_id = run_id;
  s.number = number;
  s.outcome = Outcome::kProgrammed;
  HistoryRecord r;
  r.address = "04:00.0";
  r.eui64 = FormatEui64Value(number);
  s.record = r;
  return s;
}

TEST(Settle, DeliveredTwiceCountsOnce) {
  Line line;
  const std::vector<uint64_t> numbers = line.Reserve("run", 2);
  std::string why;
  const Settlement s = Programmed("run", numbers[0]);
  ASSERT_TRUE(line.journal->Keep(s, {line.store->store_id(), "x"}, &why));
  EXPECT_EQ(DeliverWaiting(*line.store, *line.journal).sent, 1u);
  EXPECT_EQ(line.store->Settle(s, &why), StoreStatus::kOk);
  Settlement released;
  released.entry_id = NewEntryId();
  released.run_id = "run";
  released.number = numbers[1];
  released.outcome = Outcome::kReleased;
  for (int i = 0; i < 2; ++i) EXPECT_EQ(line.store->Settle(released, &why), StoreStatus::kOk);
  EXPECT_EQ(line.HistorySize(), 1u);
  const PoolCounts counts = line.Counts();
  EXPECT_EQ(counts.programmed, 1u);
  EXPECT_EQ(counts.free, 9u);
  EXPECT_EQ(DeliverWaiting(*line.store, *line.journal).sent, 0u);
}

TEST(Settle, RecoveryTakesTheJournalsWordAndLeavesLiveRunsAlone) {
  Line line;
  const uint64_t verified = line.Reserve("dead", 1)[0];
  const uint64_t unknown = line.Reserve("dead", 1)[0];
  line.Reserve("alive", 1);
  line.Reserve("elsewhere", 1, "other-pc");
  std::string why;
  ASSERT_TRUE(line.journal->Keep(Programmed("dead", verified), {line.store->store_id(), "x"}, &why));
  ASSERT_TRUE(line.journal->AddProcess("alive", {77, 9}, &why));
  RecoveryTally tally;
  // Process 42 started at 7 is gone (its id reused by another since);
  // the live run has a worker, process 77 started at 9.
  const auto alive = [](const RunProcess& p) { return p.pid == 77 && p.start == 9; };
  ASSERT_EQ(RecoverDeadRuns(*line.store, *line.journal, {line.store->store_id(), "x"},
                            {"now", "st", "pc", 1, 1}, alive, &tally, &why),
            StoreStatus::kOk)
      << why;
  EXPECT_EQ(tally.from_journal, 1u);
  EXPECT_EQ(tally.spoiled, 1u);
  const PoolCounts counts = line.Counts();
  EXPECT_EQ(counts.programmed, 1u);
  EXPECT_EQ(counts.spoiled, 1u);
  EXPECT_EQ(counts.reserved, 2u);
  HistoryFilter filter;
  filter.eui64 = FormatEui64Value(unknown);
  std::vector<HistoryRecord> records;
  ASSERT_EQ(line.store->History(filter, &records, &why), StoreStatus::kOk);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].result, -1);
  // A second recovery finds nothing more to do.
  ASSERT_EQ(RecoverDeadRuns(*line.store, *line.journal, {line.store->store_id(), "x"},
                            {"now", "st", "pc", 1, 1}, alive, &tally, &why),
            StoreStatus::kOk);
  EXPECT_EQ(line.HistorySize(), 2u);
}

}  // namespace

TEST(Chain, CanonicalEntriesNeverCoincide) {
  const std::vector<std::vector<FieldValue>> fields = {
      {FieldValue("ab"), FieldValue("c")}, {FieldValue("a"), FieldValue("bc")}, {FieldValue(int64_t{1})}, {FieldValue("1")}, {FieldValue()}, {FieldValue("")}, {FieldValue(1.5)}, {FieldValue(1.0)}};
  for (size_t i = 0; i < fields.size(); ++i)
    for (size_t j = i + 1; j < fields.size(); ++j)
      EXPECT_NE(CanonicalEntry("k", 1, fields[i]), CanonicalEntry("k", 1, fields[j])) << i << " " << j;
}

TEST(Chain, LateAndRepeatedDeliveriesKeepItWhole) {
  Line line;
  const std::vector<uint64_t> numbers = line.Reserve("run", 2);
  std::string why;
  const Settlement first = Programmed("run", numbers[0]);
  for (const Settlement& s : {first, Programmed("run", numbers[1]), first})
    ASSERT_EQ(line.store->Settle(s, &why), StoreStatus::kOk) << why;
  ChainCheck check;
  ASSERT_EQ(VerifyChain(*line.store, &check, &why), StoreStatus::kOk) << why;
  EXPECT_FALSE(check.break_at) << check.broken;
  EXPECT_EQ(check.entries, 3);  // The pool's range, then two records.
  ASSERT_EQ(line.store->Transact(
                Access::kWrite, [](Transaction& tx, std::string*) {
                  return tx.Execute("UPDATE vxrom_history SET duration_s = 2 WHERE seq = 2") ? StoreStatus::kOk
                                                                                             : tx.Failed();
                },
                &why),
            StoreStatus::kOk);
  ASSERT_EQ(VerifyChain(*line.store, &check, &why), StoreStatus::kOk) << why;
  EXPECT_EQ(check.break_at, 2);
  EXPECT_NE(check.broken.find("was changed"), std::string::npos) << check.broken;
}
