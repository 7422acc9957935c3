#include "store/ledger.h"

#include <algorithm>
#include <functional>

#include "line/chain.h"
#include "platform/digest.h"
#include "store/jobs.h"
#include "store/rows.h"

using namespace line;

namespace store {

const char kHistoryEntry[] = "history";
const char kPoolEntry[] = "pool";
const char kJobEntry[] = "job";

namespace {

/// Places read at once when the chain is walked.
const int64_t kPage = 20000;

/// One entry as read back, ready to be linked again.
struct ReadEntry {
  int64_t seq = 0;
  std::string digest;
  std::string kind;
  std::vector<FieldValue> fields;
  std::string what;     ///< The entry in words.
  std::string damaged;  ///< Non-empty: wrong in itself (bytes, a field).
};

/// A chained table: its name, the columns after "seq, digest", and how a
/// row of them becomes an entry.
struct ChainedTable {
  const char* table;
  std::string columns;
  std::function<void(const SqlRow& row, ReadEntry* entry)> read;
};

void ReadHistory(const SqlRow& row, ReadEntry* e) {
  const SqlRow fields(row.begin() + 3, row.end());
  HistoryRecord r;
  std::string why;
  if (!RecordFromRow(fields, &r, &why)) e->damaged = why;
  e->kind = kHistoryEntry;
  e->fields = HistoryEntryFields(r, fields[kHistoryFieldCount].value_or(""),
                                 fields[kHistoryFieldCount + 1].value_or(""));
  e->what = "history record " + row[2].value_or("?") + " (serial " + r.serial.value_or("none") +
            ", EUI-64 " + r.eui64.value_or("none") + ", " + r.finished + ")";
}

void ReadChange(const SqlRow& row, ReadEntry* e) {
  PoolChange c;
  c.at = row[2].value_or("");
  c.who = row[3].value_or("");
  c.action = row[4].value_or("");
  c.subject = row[5].value_or("");
  c.detail = row[6];
  e->kind = kPoolEntry;
  e->fields = PoolChangeFields(c);
  e->what = "pool change \"" + c.action + " " + c.subject + "\" of " + c.at;
}

void ReadJob(const SqlRow& row, ReadEntry* e) {
  Job job;
  if (!JobFromRow(SqlRow(row.begin() + 2, row.end()), &job)) e->damaged = "unreadable";
  e->kind = kJobEntry;
  e->fields = JobEntryFields(job);
  e->what = "job " + JobLabel(job);
  if (platform::Sha256Hex(job.firmware.data(), job.firmware.size()) != job.firmware_sha256 ||
      (job.config_sha256 &&
       platform::Sha256Hex(job.config.data(), job.config.size()) != *job.config_sha256))
    e->damaged = "its files differ from their digests";
}

std::vector<ChainedTable> ChainedTables() {
  return {
      {"vxrom_history", "id, " + HistoryColumns() + ", run_id, entry_id", ReadHistory},
      {"vxrom_log", "at, who, action, subject, detail", ReadChange},
      {"vxrom_job", kJobColumns, ReadJob},
  };
}

/// The entries at places [from, to), in order.
bool ReadPage(Transaction& tx, int64_t from, int64_t to, std::vector<ReadEntry>* entries) {
  entries->clear();
  for (const ChainedTable& t : ChainedTables()) {
    std::vector<SqlRow> rows;
    if (!tx.Execute("SELECT seq, digest, " + t.columns + " FROM " + t.table +
                        " WHERE seq >= ? AND seq < ? ORDER BY seq",
                    {from, to}, &rows))
      return false;
    for (const SqlRow& r : rows) {
      ReadEntry e;
      e.seq = ToInt(r[0]);
      e.digest = r[1].value_or("");
      t.read(r, &e);
      entries->push_back(std::move(e));
    }
  }
  std::stable_sort(entries->begin(), entries->end(),
                   [](const ReadEntry& a, const ReadEntry& b) { return a.seq < b.seq; });
  return true;
}

/// Rows with no place at all: put there by hand.
bool FindUnplaced(Transaction& tx, std::string* what) {
  for (const ChainedTable& t : ChainedTables()) {
    std::vector<SqlRow> rows;
    if (!tx.Execute("SELECT seq, digest, " + t.columns + " FROM " + t.table +
                        " WHERE seq IS NULL OR digest IS NULL LIMIT 1",
                    {}, &rows))
      return false;
    if (rows.empty()) continue;
    ReadEntry e;
    t.read(rows[0], &e);
    *what = e.what + " was inserted: it has no place in the chain";
    return true;
  }
  return true;
}

/// Links the entries of one page after check's; stops at a break.
void WalkPage(const std::vector<ReadEntry>& entries, ChainCheck* check) {
  for (const ReadEntry& e : entries) {
    const int64_t expected = check->entries + 1;
    check->break_at = expected;
    if (e.seq < expected) {
      check->broken = e.what + " was inserted: its place is another entry's";
      return;
    }
    if (e.seq > expected) {
      check->broken = "the entry at this place was removed (the next one left is " + e.what + ")";
      return;
    }
    const std::string digest = ChainDigest(check->head, CanonicalEntry(e.kind, e.seq, e.fields));
    if (!e.damaged.empty() || digest != e.digest) {
      check->broken = e.what + " was changed" + (e.damaged.empty() ? "" : ": " + e.damaged);
      return;
    }
    check->head = e.digest;
    check->entries = expected;
    check->break_at.reset();
  }
}

}  // namespace

bool ChainAppend(Transaction& tx, const std::string& kind, const std::vector<FieldValue>& fields,
                 int64_t* seq, std::string* digest) {
  std::vector<SqlRow> head;
  if (!tx.Execute("SELECT seq, digest FROM vxrom_chain WHERE id = 1" + tx.sql().RowLock(false),
                  {}, &head))
    return false;
  const std::string previous = head.empty() ? "" : head[0][1].value_or("");
  *seq = (head.empty() ? 0 : ToInt(head[0][0])) + 1;
  *digest = ChainDigest(previous, CanonicalEntry(kind, *seq, fields));
  return tx.Execute("UPDATE vxrom_chain SET seq = ?, digest = ? WHERE id = 1", {*seq, *digest});
}

std::vector<FieldValue> HistoryEntryFields(const HistoryRecord& record, const std::string& run_id,
                                           const std::string& entry_id) {
  std::vector<FieldValue> fields = HistoryValues(record);
  fields.emplace_back(run_id);
  fields.emplace_back(entry_id);
  return fields;
}

StoreStatus VerifyChain(Store& store, ChainCheck* check, std::string* reason) {
  return store.Transact(
      Access::kRead, [&](Transaction& tx, std::string*) {
        *check = ChainCheck();
        std::vector<SqlRow> head;
        if (!tx.Execute("SELECT seq, digest FROM vxrom_chain WHERE id = 1", {}, &head))
          return tx.Failed();
        const int64_t last = head.empty() ? 0 : ToInt(head[0][0]);
        std::vector<ReadEntry> entries;
        for (int64_t from = 1; from <= last && !check->break_at; from += kPage) {
          if (!ReadPage(tx, from, from + kPage, &entries)) return tx.Failed();
          WalkPage(entries, check);
        }
        if (!check->break_at && check->entries < last) {
          check->break_at = check->entries + 1;
          check->broken = "the entries from this place to the head (" + std::to_string(last) +
                          ") were removed";
        }
        if (!check->break_at && !ReadPage(tx, last + 1, INT64_MAX, &entries)) return tx.Failed();
        if (!check->break_at && !entries.empty()) {
          check->break_at = entries[0].seq;
          check->broken = entries[0].what + " was inserted past the chain's head";
        }
        std::string unplaced;
        if (!check->break_at && !FindUnplaced(tx, &unplaced)) return tx.Failed();
        if (!unplaced.empty()) {
          check->break_at = last + 1;
          check->broken = unplaced;
        }
        if (!check->break_at && !head.empty() && head[0][1].value_or("") != check->head) {
          check->break_at = last;
          check->broken = "the chain's head was changed";
        }
        return StoreStatus::kOk;
      },
      reason);
}

bool ChainEarlierHistory(Transaction& tx) {
  const std::string select = "SELECT id, " + HistoryColumns() +
                             ", run_id, entry_id FROM vxrom_history WHERE id > ? ORDER BY id LIMIT 1000";
  for (int64_t after = -1;;) {
    std::vector<SqlRow> rows;
    if (!tx.Execute(select, {after}, &rows)) return false;
    if (rows.empty()) return true;
    for (const SqlRow& row : rows) {
      after = ToInt(row[0]);
      const SqlRow fields(row.begin() + 1, row.end());
      HistoryRecord r;
      std::string why, digest;
      RecordFromRow(fields, &r, &why);
      int64_t seq = 0;
      if (!ChainAppend(tx, kHistoryEntry,
                       HistoryEntryFields(r, fields[kHistoryFieldCount].value_or(""),
                                          fields[kHistoryFieldCount + 1].value_or("")),
                       &seq, &digest) ||
          !tx.Execute("UPDATE vxrom_history SET seq = ?, digest = ? WHERE id = ?",
                      {seq, digest, after}))
        return false;
    }
  }
}

}  // namespace store
