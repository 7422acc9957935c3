// The store's text rules: EUI-64 forms, passwords kept out of messages;
// its transactions under a database that fails as a server does, its
// migrations, and the one pass that adds many ranges.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>

#include "store/db.h"
#include "store/schema.h"
#include "store/store.h"

using namespace store;
using namespace line;

namespace {

TEST(VxromStore, Eui64Forms) {
  struct Case {
    const char* text;
    bool valid;
    uint64_t value;
  };
  const Case cases[] = {
      {"02-56-58-FF-FE-00-00-01", true, 0x025658FFFE000001ull},
      {"fe-ff-ff-ff-ff-ff-ff-ff", true, 0xFEFFFFFFFFFFFFFFull},
      {"02-56-58-FF-FE-00-00", false, 0},
      {"02:56:58:ff:fe:00:00:01", true, 0x025658FFFE000001ull},
      {"02:56:58-FF-FE-00-00-01", false, 0},
      {"02-56-58-FF-FE-00-00-0G", false, 0},
      {"02-56-58-FF-FE-00-00-011", false, 0},
      {" 02-56-58-FF-FE-00-00-01", false, 0},
  };
  for (const Case& c : cases) {
    uint64_t value = 0;
    EXPECT_EQ(ParseEui64(c.text, &value), c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(value, c.value) << c.text;
      std::string upper = c.text;
      for (char& ch : upper) ch = ch == ':' ? '-' : static_cast<char>(toupper(ch));
      EXPECT_EQ(FormatEui64Value(value), upper);
    }
  }
}

TEST(VxromStore, PasswordsMasked) {
  const std::pair<const char*, const char*> cases[] = {
      {"odbc:DSN=line;UID=a;PWD=secret", "odbc:DSN=line;UID=a;PWD=***"},
      {"odbc:DSN=line;pwd=secret;UID=a", "odbc:DSN=line;pwd=***;UID=a"},
      {"Driver={x};Password={se;cret};Port=1", "Driver={x};Password=***;Port=1"},
      {"sqlite:/var/lib/vxrom.db", "sqlite:/var/lib/vxrom.db"},
  };
  for (const auto& c : cases) EXPECT_EQ(MaskCredentials(c.first), c.second);
}

/// SQLite in memory failing as a server would: a statement that holds
/// fail_on (or the commit, for "COMMIT") fails with sqlstate, times
/// times; a failed commit may have been made first.
class FlakyDatabase : public Database {
 public:
  FlakyDatabase() {
    std::string error;
    inner_ = OpenSqlite(":memory:", &error);
  }
  bool Execute(const std::string& sql, const std::vector<SqlValue>& params,
               std::vector<SqlRow>* rows, DbError* error) override {
    if (Fails(sql)) return Inject(error);
    return inner_->Execute(sql, params, rows, error);
  }
  bool Begin(bool write, DbError* error) override {
    ++begins;
    return inner_->Begin(write, error);
  }
  bool Commit(DbError* error) override {
    if (!Fails("COMMIT")) return inner_->Commit(error);
    DbError ignored;
    if (commit_made) inner_->Commit(&ignored);
    return Inject(error);
  }
  void Rollback() override { inner_->Rollback(); }
  bool Reconnect(DbError*) override {
    ++reconnects;
    inner_->Rollback();
    return true;
  }
  std::string RowLock(bool skip_held) const override { return inner_->RowLock(skip_held); }
  std::string TakeTurn(TurnLock lock) const override { return inner_->TakeTurn(lock); }
  std::string CounterKey() const override { return inner_->CounterKey(); }
  std::string RealType() const override { return inner_->RealType(); }
  std::string TableExists(const std::string& table) const override { return inner_->TableExists(table); }
  std::string Eui64Text(const std::string& column) const override { return inner_->Eui64Text(column); }
  bool AltersInPlace() const override { return inner_->AltersInPlace(); }

  std::string fail_on, sqlstate;
  int times = 0;
  bool commit_made = false;
  int begins = 0, reconnects = 0;

 private:
  bool Fails(const std::string& sql) {
    if (times == 0 || fail_on.empty() || sql.find(fail_on) == std::string::npos) return false;
    --times;
    return true;
  }
  bool Inject(DbError* error) {
    *error = {"injected", sqlstate};
    return false;
  }
  std::unique_ptr<Database> inner_;
};

const uint64_t kBase = 0x0256580000000000ull;

/// A store over a flaky database whose pool holds kBase to kBase + 255.
std::unique_ptr<Store> FlakyStore(FlakyDatabase** flaky) {
  *flaky = new FlakyDatabase;
  std::string reason;
  std::unique_ptr<Store> store = Store::Open(std::unique_ptr<Database>(*flaky), {std::chrono::milliseconds(1), std::chrono::milliseconds(4), std::chrono::milliseconds(300)}, &reason);
  EXPECT_TRUE(store) << reason;
  EXPECT_EQ(store->AddRanges({{kBase, kBase + 255}}, "pool add", &reason), StoreStatus::kOk) << reason;
  return store;
}

TEST(VxromStore, TransactionsRetried) {
  struct Case {
    const char* name;
    const char* fail_on;
    const char* sqlstate;
    int times;
    bool commit_made;
    StoreStatus status;
    int reconnects;
  };
  const Case cases[] = {
      {"connection lost twice", "UPDATE vxrom_range", "08006", 2, false, StoreStatus::kOk, 2},
      {"serialization failures", "INSERT INTO vxrom_eui", "40001", 3, false, StoreStatus::kOk, 0},
      {"deadlock", "UPDATE vxrom_range", "40P01", 1, false, StoreStatus::kOk, 0},
      {"commit lost, not made", "COMMIT", "08S01", 1, false, StoreStatus::kOk, 1},
      {"commit lost, made", "COMMIT", "57P01", 1, true, StoreStatus::kOk, 1},
      {"no right", "UPDATE vxrom_range", "42501", 1, false, StoreStatus::kUnavailable, 0},
      {"lock past its wait", "UPDATE vxrom_range", kSqlStateBusy, 1, false, StoreStatus::kUnavailable, 0},
      {"server gone for good", "UPDATE vxrom_range", "08001", 1000000, false, StoreStatus::kUnavailable, -1},
  };
  for (const Case& c : cases) {
    FlakyDatabase* flaky = nullptr;
    std::unique_ptr<Store> store = FlakyStore(&flaky);
    flaky->fail_on = c.fail_on;
    flaky->sqlstate = c.sqlstate;
    flaky->times = c.times;
    flaky->commit_made = c.commit_made;
    const int begins = flaky->begins;
    std::vector<uint64_t> numbers;
    std::string reason;
    const RunIdentity run = {"run1", "st", "host", 1};
    EXPECT_EQ(store->Reserve(run, {{"04:00.0", "A"}, {"05:00.0", std::nullopt}}, false, &numbers, &reason), c.status) << c.name << ": " << reason;
    if (c.reconnects >= 0) EXPECT_EQ(flaky->reconnects, c.reconnects) << c.name;
    if (c.status != StoreStatus::kOk && c.reconnects >= 0) EXPECT_EQ(flaky->begins - begins, 1) << c.name << ": tried again";
    flaky->times = 0;
    PoolCounts counts;
    ASSERT_EQ(store->Counts(&counts, &reason), StoreStatus::kOk) << reason;
    if (c.status != StoreStatus::kOk) {
      EXPECT_NE(reason.find(std::string("SQLSTATE ") + c.sqlstate), std::string::npos) << c.name << ": " << reason;
      EXPECT_EQ(counts.reserved, 0u) << c.name;
      continue;
    }
    // Two numbers for two boards, however many attempts it took.
    EXPECT_EQ(std::set<uint64_t>(numbers.begin(), numbers.end()).size(), 2u) << c.name;
    EXPECT_EQ(counts.reserved, 2u) << c.name;
    EXPECT_EQ(counts.free, 254u) << c.name;
  }
}

/// A file of the test's own, removed before and after.
struct TempFile {
  explicit TempFile(const char* name)
      : path((std::filesystem::temp_directory_path() / (std::string("vxrom-test-") + name)).string()) {
    Remove();
  }
  ~TempFile() { Remove(); }
  void Remove() const {
    for (const char* end : {"", "-wal", "-shm"}) std::filesystem::remove(path + end);
  }
  std::string path;
};

std::vector<SqlRow> Query(Database& db, const std::string& sql) {
  std::vector<SqlRow> rows;
  DbError error;
  EXPECT_TRUE(db.Execute(sql, {}, &rows, &error)) << sql << ": " << error.Text();
  return rows;
}

TEST(VxromStore, MigratesFromVersion1) {
  TempFile file("v1.db");
  std::string error;
  {
    // A store as the first release left it.
    std::unique_ptr<Database> db = OpenSqlite(file.path, &error);
    ASSERT_TRUE(db) << error;
    for (const char* sql : {
             "CREATE TABLE vxrom_schema (version BIGINT NOT NULL)",
             "CREATE TABLE vxrom_range (first_key BIGINT PRIMARY KEY, last_key BIGINT NOT NULL, next_key BIGINT NOT NULL)",
             "CREATE TABLE vxrom_eui (eui_key BIGINT PRIMARY KEY, state TEXT NOT NULL, run_id TEXT, station TEXT, host TEXT, pid BIGINT, address TEXT, serial TEXT, reserved_at TEXT)",
             "CREATE INDEX vxrom_eui_state ON vxrom_eui (state, station)",
             "CREATE TABLE vxrom_history (id INTEGER PRIMARY KEY AUTOINCREMENT, started TEXT NOT NULL, finished TEXT NOT NULL, station TEXT NOT NULL, host TEXT NOT NULL, serial TEXT, address TEXT NOT NULL, chip_revision BIGINT, rom_type BIGINT, firmware_version TEXT, subsystem_vendor_id BIGINT, subsystem_id BIGINT, eui64 TEXT, image_sha256 TEXT, result BIGINT NOT NULL, reason TEXT, duration_s REAL NOT NULL, version TEXT NOT NULL, run_id TEXT)",
             "CREATE INDEX vxrom_history_serial ON vxrom_history (serial)",
             "INSERT INTO vxrom_schema (version) VALUES (1)",
             // 02-56-58-00-00-00-00-00 to -0F, two taken; FE-FF-...-FF taken.
             "INSERT INTO vxrom_range VALUES (-9054953243758559232, -9054953243758559217, -9054953243758559230)",
             "INSERT INTO vxrom_eui VALUES (-9054953243758559232, 'programmed', 'r', 's', 'h', 1, '04:00.0', 'A1', 't')",
             "INSERT INTO vxrom_eui VALUES (-9054953243758559231, 'reserved', 'r', 's', 'h', 1, '05:00.0', NULL, 't')",
             "INSERT INTO vxrom_eui VALUES (9151314442816847871, 'spoiled', 'r', 's', 'h', 1, '06:00.0', NULL, 't')",
             "INSERT INTO vxrom_history (started, finished, station, host, serial, address, eui64, result, duration_s, version) VALUES ('t', 't', 's', 'h', 'A1', '04:00.0', '02-56-58-00-00-00-00-00', 0, 1.5, '1')",
         }) {
      DbError failed;
      ASSERT_TRUE(db->Execute(sql, {}, nullptr, &failed)) << sql << ": " << failed.Text();
    }
  }
  std::string reason;
  std::string id;
  {
    std::unique_ptr<Store> store = Store::Open("sqlite:" + file.path, &reason);
    ASSERT_TRUE(store) << reason;
    id = store->store_id();
    EXPECT_EQ(id.size(), 32u);
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos) << id;
    PoolCounts counts;
    ASSERT_EQ(store->Counts(&counts, &reason), StoreStatus::kOk) << reason;
    EXPECT_EQ(counts.free, 14u);
    EXPECT_EQ(counts.reserved, 1u);
    EXPECT_EQ(counts.programmed, 1u);
    EXPECT_EQ(counts.spoiled, 1u);
    std::optional<HistoryRecord> found;
    EXPECT_EQ(store->ProgrammedSerial("a1", &found, &reason), StoreStatus::kOk);
    EXPECT_TRUE(found);
  }
  std::unique_ptr<Database> db = OpenSqlite(file.path, &error);
  ASSERT_TRUE(db) << error;
  const std::vector<SqlRow> schema = Query(*db, "SELECT id, version, store_id FROM vxrom_schema");
  ASSERT_EQ(schema.size(), 1u);
  EXPECT_EQ(schema[0], (SqlRow{"1", std::to_string(kSchemaVersion), id}));
  // Every number in its display form, beside its key.
  const std::vector<SqlRow> euis = Query(*db, "SELECT eui64, pid_start FROM vxrom_eui ORDER BY eui_key");
  EXPECT_EQ(euis, (std::vector<SqlRow>{{"02-56-58-00-00-00-00-00", std::nullopt},
                                       {"02-56-58-00-00-00-00-01", std::nullopt},
                                       {"FE-FF-FF-FF-FF-FF-FF-FF", std::nullopt}}));
  // The new rules hold.
  DbError failed;
  EXPECT_FALSE(db->Execute("UPDATE vxrom_eui SET state = 'lost'", {}, nullptr, &failed));
  EXPECT_EQ(failed.sqlstate, "23514");
  EXPECT_FALSE(db->Execute("INSERT INTO vxrom_schema VALUES (2, 2, 'x')", {}, nullptr, &failed));
  EXPECT_TRUE(db->Execute("UPDATE vxrom_history SET entry_id = 'e1'", {}, nullptr, &failed)) << failed.Text();
  EXPECT_FALSE(db->Execute("INSERT INTO vxrom_history (started, finished, station, host, address, result, duration_s, version, entry_id) VALUES ('t', 't', 's', 'h', 'a', 0, 0, 'v', 'e1')", {}, nullptr, &failed));
  EXPECT_EQ(failed.sqlstate, "23505");
  // Opened again: the same identity.  A newer schema is refused.
  std::unique_ptr<Store> again = Store::Open("sqlite:" + file.path, &reason);
  ASSERT_TRUE(again) << reason;
  EXPECT_EQ(again->store_id(), id);
  again.reset();
  const std::string newer = std::to_string(kSchemaVersion + 1);
  Query(*db, "UPDATE vxrom_schema SET version = " + newer);
  EXPECT_FALSE(Store::Open("sqlite:" + file.path, &reason));
  EXPECT_NE(reason.find("schema is version " + newer + ", newer than this vxrom knows (" +
                        std::to_string(kSchemaVersion) + ")"),
            std::string::npos)
      << reason;
}

/// A number of the test pool: kBase + offset.
std::pair<uint64_t, uint64_t> At(uint64_t first, uint64_t last) { return {kBase + first, kBase + last}; }

TEST(VxromStore, RangesAddedInOnePass) {
  struct Case {
    const char* name;
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    const char* overlaps;  ///< The range the reason names; null: added.
  };
  // The pool: 0x10-0x1F, 0x30, 0x100-0x1FF.
  const Case cases[] = {
      {"below, between, above", {At(0x31, 0x31), At(0x0, 0xF), At(0x20, 0x2F), At(0x200, 0x200)}, nullptr},
      {"ends on a pool range", {At(0x40, 0x40), At(0x1F, 0x20)}, "02-56-58-00-00-00-00-10 to 02-56-58-00-00-00-00-1F"},
      {"starts on a pool range", {At(0x30, 0x30)}, "02-56-58-00-00-00-00-30 to 02-56-58-00-00-00-00-30"},
      {"covers a pool range", {At(0x2F, 0x1000)}, "02-56-58-00-00-00-00-30 to 02-56-58-00-00-00-00-30"},
      {"last of many", {At(0x50, 0x50), At(0x60, 0x60), At(0x1FF, 0x1FF)}, "02-56-58-00-00-00-01-00 to 02-56-58-00-00-00-01-FF"},
      {"each other", {At(0x40, 0x45), At(0x45, 0x50)}, "02-56-58-00-00-00-00-40 to 02-56-58-00-00-00-00-45"},
  };
  for (const Case& c : cases) {
    std::string reason;
    std::unique_ptr<Store> store = Store::Open("sqlite::memory:", &reason);
    ASSERT_TRUE(store) << reason;
    ASSERT_EQ(store->AddRanges({At(0x10, 0x1F), At(0x30, 0x30), At(0x100, 0x1FF)}, "pool add", &reason), StoreStatus::kOk) << reason;
    const StoreStatus status = store->AddRanges(c.ranges, "pool add", &reason);
    PoolCounts counts;
    ASSERT_EQ(store->Counts(&counts, &reason), StoreStatus::kOk);
    if (!c.overlaps) {
      EXPECT_EQ(status, StoreStatus::kOk) << c.name << ": " << reason;
      EXPECT_EQ(counts.free, 16u + 1 + 256 + 1 + 16 + 16 + 1) << c.name;
      continue;
    }
    EXPECT_EQ(status, StoreStatus::kRefused) << c.name;
    EXPECT_NE(reason.find(c.overlaps), std::string::npos) << c.name << ": " << reason;
    EXPECT_EQ(counts.free, 16u + 1 + 256) << c.name << ": nothing added";
  }
  // Many scattered numbers: several INSERTs of many rows, one commit.
  std::string reason;
  std::unique_ptr<Store> store = Store::Open("sqlite::memory:", &reason);
  std::vector<std::pair<uint64_t, uint64_t>> scattered;
  for (uint64_t i = 0; i < 1000; ++i) scattered.push_back(At(3 * i, 3 * i));
  ASSERT_EQ(store->AddRanges(scattered, "pool add", &reason), StoreStatus::kOk) << reason;
  EXPECT_EQ(store->AddRanges({At(2997, 2998)}, "pool add", &reason), StoreStatus::kRefused);
  PoolCounts counts;
  ASSERT_EQ(store->Counts(&counts, &reason), StoreStatus::kOk);
  EXPECT_EQ(counts.free, 1000u);
}

TEST(VxromStore, ReservationsAcrossRangesAndSerials) {
  std::string reason;
  std::unique_ptr<Store> store = Store::Open("sqlite::memory:", &reason);
  ASSERT_TRUE(store) << reason;
  ASSERT_EQ(store->AddRanges({At(1, 1), At(3, 3), At(5, 6), At(9, 9)}, "pool add", &reason), StoreStatus::kOk);
  struct Case {
    const char* run;
    std::vector<BoardClaim> boards;
    bool rework;
    StoreStatus status;
    std::vector<uint64_t> numbers;  ///< Offsets from kBase.
    const char* says;
  };
  const Case cases[] = {
      // No range has room for three: the first three with any.
      {"r1", {{"04:00.0", "S1"}, {"05:00.0", std::nullopt}, {"06:00.0", std::nullopt}}, false, StoreStatus::kOk, {1, 3, 5}, ""},
      {"r2", {{"04:00.0", "S1"}}, false, StoreStatus::kSerialTaken, {}, "being programmed by station \"st\""},
      {"r3", {{"04:00.0", "S1"}}, true, StoreStatus::kOk, {6}, ""},
      {"r4", {{"04:00.0", "S2"}, {"05:00.0", std::nullopt}}, false, StoreStatus::kTooSmall, {}, "the pool has 1 free EUI-64 for 2 boards"},
  };
  for (const Case& c : cases) {
    std::vector<uint64_t> numbers;
    const RunIdentity run = {c.run, "st", "host", 1};
    EXPECT_EQ(store->Reserve(run, c.boards, c.rework, &numbers, &reason), c.status) << c.run << ": " << reason;
    std::vector<uint64_t> want;
    for (uint64_t n : c.numbers) want.push_back(kBase + n);
    EXPECT_EQ(numbers, want) << c.run;
    if (c.status != StoreStatus::kOk) EXPECT_NE(reason.find(c.says), std::string::npos) << c.run << ": " << reason;
  }
  // Programmed: refused as history has it.
  Settlement programmed = {"e1", "r1", kBase + 1, Outcome::kProgrammed, false, HistoryRecord()};
  programmed.record->serial = "S1";
  ASSERT_EQ(store->Settle(programmed, &reason), StoreStatus::kOk) << reason;
  const Settlement released = {"e2", "r3", kBase + 6, Outcome::kReleased, false, std::nullopt};
  ASSERT_EQ(store->Settle(released, &reason), StoreStatus::kOk) << reason;
  std::vector<uint64_t> numbers;
  EXPECT_EQ(store->Reserve({"r5", "st", "host", 1}, {{"04:00.0", "S1"}}, false, &numbers, &reason), StoreStatus::kSerialTaken);
  EXPECT_NE(reason.find("in history as programmed already"), std::string::npos) << reason;
}

TEST(VxromStore, BusyDatabaseWaitedForOnce) {
  TempFile file("busy.db");
  std::string reason, error;
  // A short wait: what counts is that it is had once, not how long.
  std::unique_ptr<Store> store =
      Store::Open(OpenSqlite(file.path, &error, std::chrono::milliseconds(100)), RetryPolicy(), &reason);
  ASSERT_TRUE(store) << reason << error;
  std::unique_ptr<Database> writer = OpenSqlite(file.path, &error);
  DbError failed;
  ASSERT_TRUE(writer->Begin(true, &failed)) << failed.Text();
  // Readers go on beside the writer, and a store opens without writing.
  std::vector<HistoryRecord> records;
  EXPECT_EQ(store->History({}, &records, &reason), StoreStatus::kOk) << reason;
  EXPECT_TRUE(Store::Open("sqlite:" + file.path, &reason)) << reason;
  // The wait is had once: a busy database is no reason to try again.
  EXPECT_EQ(store->AddRanges({At(0, 9)}, "pool add", &reason), StoreStatus::kUnavailable);
  EXPECT_NE(reason.find("SQLSTATE 55P03"), std::string::npos) << reason;
  EXPECT_EQ(reason.find("attempts"), std::string::npos) << reason;
  writer->Rollback();
  EXPECT_EQ(store->AddRanges({At(0, 9)}, "pool add", &reason), StoreStatus::kOk) << reason;
}

}  // namespace
