#include "store/journal.h"

#include <stdlib.h>
#include <time.h>

#include "line/record_json.h"
#include "platform/files.h"
#include "platform/program.h"
#include "store/store.h"

using namespace line;

namespace store {

namespace {

const int64_t kJournalVersion = 1;

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS journal_entry (seq INTEGER PRIMARY KEY "
    "AUTOINCREMENT, entry_id TEXT NOT NULL UNIQUE, store_id TEXT NOT NULL, "
    "store TEXT NOT NULL, run_id TEXT NOT NULL, number TEXT, outcome TEXT NOT "
    "NULL CHECK (outcome IN ('programmed', 'released', 'spoiled')), "
    "any_holder INTEGER NOT NULL DEFAULT 0, record TEXT, created TEXT NOT "
    "NULL, state TEXT NOT NULL DEFAULT 'waiting' CHECK (state IN "
    "('waiting', 'sent', 'refused')), note TEXT)",
    "CREATE INDEX IF NOT EXISTS journal_waiting ON journal_entry (state, "
    "store_id, seq)",
    "CREATE INDEX IF NOT EXISTS journal_run ON journal_entry (run_id, number)",
    "CREATE TABLE IF NOT EXISTS journal_process (run_id TEXT NOT NULL, pid "
    "INTEGER NOT NULL, start INTEGER NOT NULL, noted TEXT NOT NULL, PRIMARY "
    "KEY (run_id, pid))",
    "PRAGMA user_version = 1",
};

const char kEntryColumns[] =
    "seq, entry_id, store_id, store, run_id, number, outcome, any_holder, "
    "record, created, state, note";

/// Sent entries and the processes of runs are kept this long, for
/// vxrom journal and for recovery; then they go.
const time_t kKeepSeconds = 30 * 24 * 3600;

/// The UTC time kKeepSeconds ago, as the journal writes times.
std::string KeepSince() {
  const time_t then = time(nullptr) - kKeepSeconds;
  const struct tm* utc = gmtime(&then);
  char text[32] = {};
  if (utc) strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
  return text;
}

/// Reads an entry from a row of kEntryColumns.
bool EntryFromRow(const SqlRow& r, JournalEntry* e, std::string* why) {
  e->seq = strtoll(r[0].value_or("0").c_str(), nullptr, 10);
  Settlement& s = e->settlement;
  s.entry_id = r[1].value_or("");
  e->store.id = r[2].value_or("");
  e->store.url = r[3].value_or("");
  s.run_id = r[4].value_or("");
  uint64_t number = 0;
  if (r[5] && ParseEui64(*r[5], &number)) s.number = number;
  if (!ParseOutcome(r[6].value_or(""), &s.outcome)) {
    *why = "journal entry " + s.entry_id + " has no outcome";
    return false;
  }
  s.any_holder = r[7].value_or("0") != "0";
  if (r[8]) {
    const Json json = Json::parse(*r[8], nullptr, false);
    HistoryRecord record;
    if (!RecordFromJson(json, &record, why)) {
      *why = "journal entry " + s.entry_id + ": " + *why;
      return false;
    }
    s.record = record;
  }
  e->created = r[9].value_or("");
  e->state = r[10].value_or("");
  e->note = r[11].value_or("");
  return true;
}

}  // namespace

std::string Journal::DefaultPath() {
  std::string path;
  if (platform::GetEnvironment("VXROM_JOURNAL", &path) && !path.empty()) return path;
  const std::string state = platform::UserStateDirectory();
  const char s = platform::kPathSeparator;
  return (state.empty() ? std::string() : state + s + "vxrom" + s) + "journal.db";
}

std::unique_ptr<Journal> Journal::Open(const std::string& path, bool existing_only,
                                       std::string* reason) {
  if (existing_only && !platform::PathExists(path)) return nullptr;
  std::string why;
  std::unique_ptr<Database> db = OpenSqlite(path, &why);
  if (!db) {
    *reason = "cannot open the station's journal " + path + ": " + why;
    return nullptr;
  }
  DbError error;
  std::vector<SqlRow> rows;
  bool ok = db->Execute("PRAGMA user_version", {}, &rows, &error);
  if (ok && (rows.empty() || rows[0][0].value_or("0") != std::to_string(kJournalVersion))) {
    ok = db->Begin(true, &error);
    for (const char* sql : kSchema) ok = ok && db->Execute(sql, {}, nullptr, &error);
    ok = ok && db->Commit(&error);
  }
  if (!ok) {
    db->Rollback();
    *reason = "the station's journal " + path + ": " + error.Text();
    return nullptr;
  }
  return std::unique_ptr<Journal>(new Journal(std::move(db), path));
}

bool Journal::Tidy(std::string* reason) {
  const std::string since = KeepSince();
  DbError error;
  if (db_->Execute("DELETE FROM journal_entry WHERE state = 'sent' AND created < ?", {since},
                   nullptr, &error) &&
      db_->Execute("DELETE FROM journal_process WHERE noted < ?", {since}, nullptr, &error))
    return true;
  *reason = "the station's journal " + path_ + ": " + error.Text();
  return false;
}

bool Journal::Keep(const Settlement& s, const StoreName& store, std::string* reason) {
  const SqlValue number = s.number ? SqlValue(FormatEui64Value(*s.number)) : SqlValue();
  const SqlValue record = s.record ? SqlValue(JsonText(RecordJson(*s.record))) : SqlValue();
  DbError error;
  // Autocommit: with synchronous FULL, the entry is on the disk when
  // this returns.
  if (db_->Execute("INSERT INTO journal_entry (entry_id, store_id, store, run_id, "
                   "number, outcome, any_holder, record, created) VALUES (?, ?, "
                   "?, ?, ?, ?, ?, ?, ?) ON CONFLICT (entry_id) DO NOTHING",
                   {s.entry_id, store.id, store.url, s.run_id, number,
                    OutcomeName(s.outcome), int64_t{s.any_holder}, record, UtcTimestamp()},
                   nullptr, &error))
    return true;
  *reason = "the station's journal " + path_ + ": " + error.Text();
  return false;
}

bool Journal::Entries(const std::string& where, const std::vector<SqlValue>& params,
                      std::vector<JournalEntry>* entries, std::string* reason) {
  std::vector<SqlRow> rows;
  DbError error;
  if (!db_->Execute(std::string("SELECT ") + kEntryColumns + " FROM journal_entry WHERE " +
                        where + " ORDER BY seq",
                    params, &rows, &error)) {
    *reason = "the station's journal " + path_ + ": " + error.Text();
    return false;
  }
  for (const SqlRow& r : rows) {
    JournalEntry e;
    if (!EntryFromRow(r, &e, reason)) return false;
    entries->push_back(std::move(e));
  }
  return true;
}

bool Journal::Waiting(const std::string& store_id, std::vector<JournalEntry>* entries,
                      std::string* reason) {
  if (store_id.empty()) return Entries("state <> 'sent'", {}, entries, reason);
  return Entries("state = 'waiting' AND store_id = ?", {store_id}, entries, reason);
}

bool Journal::CountWaiting(const std::string& store_id, const std::string& run_id,
                           uint64_t* count, std::string* reason) {
  std::vector<SqlRow> rows;
  DbError error;
  if (!db_->Execute("SELECT count(*) FROM journal_entry WHERE state <> 'sent' AND store_id = ? "
                    "AND (? = '' OR run_id = ?)",
                    {store_id, run_id, run_id}, &rows, &error)) {
    *reason = "the station's journal " + path_ + ": " + error.Text();
    return false;
  }
  *count = rows.empty() ? 0 : strtoull(rows[0][0].value_or("0").c_str(), nullptr, 10);
  return true;
}

bool Journal::MarkSent(const std::string& entry_id, std::string* reason) {
  DbError error;
  if (db_->Execute("UPDATE journal_entry SET state = 'sent' WHERE entry_id = ?",
                   {entry_id}, nullptr, &error))
    return true;
  *reason = "the station's journal " + path_ + ": " + error.Text();
  return false;
}

bool Journal::MarkRefused(const std::string& entry_id, const std::string& why,
                          std::string* reason) {
  DbError error;
  if (db_->Execute("UPDATE journal_entry SET state = 'refused', note = ? WHERE entry_id = ?",
                   {why, entry_id}, nullptr, &error))
    return true;
  *reason = "the station's journal " + path_ + ": " + error.Text();
  return false;
}

bool Journal::Find(const std::string& run_id, uint64_t number,
                   std::optional<JournalEntry>* entry, std::string* reason) {
  std::vector<JournalEntry> found;
  if (!Entries("run_id = ? AND number = ? AND any_holder = 0",
               {run_id, FormatEui64Value(number)}, &found, reason))
    return false;
  entry->reset();
  if (!found.empty()) *entry = found.front();
  return true;
}

bool Journal::AddProcess(const std::string& run_id, const RunProcess& p,
                         std::string* reason) {
  DbError error;
  // A power cut ends every process: a note of one needs no flush to the
  // disk, and a run that starts many workers waits for none.
  db_->Execute("PRAGMA synchronous = NORMAL", {}, nullptr, &error);
  const bool ok = db_->Execute(
      "INSERT INTO journal_process (run_id, pid, start, noted) VALUES "
      "(?, ?, ?, ?) ON CONFLICT (run_id, pid) DO NOTHING",
      {run_id, static_cast<int64_t>(p.pid), static_cast<int64_t>(p.start),
       UtcTimestamp()},
      nullptr, &error);
  db_->Execute("PRAGMA synchronous = FULL", {}, nullptr, &error);
  if (ok) return true;
  *reason = "the station's journal " + path_ + ": " + error.Text();
  return false;
}

bool Journal::Processes(const std::string& run_id, std::vector<RunProcess>* processes,
                        std::string* reason) {
  std::vector<SqlRow> rows;
  DbError error;
  if (!db_->Execute("SELECT pid, start FROM journal_process WHERE run_id = ?", {run_id},
                    &rows, &error)) {
    *reason = "the station's journal " + path_ + ": " + error.Text();
    return false;
  }
  for (const SqlRow& r : rows)
    processes->push_back({strtoull(r[0].value_or("0").c_str(), nullptr, 10),
                          strtoull(r[1].value_or("0").c_str(), nullptr, 10)});
  return true;
}

}  // namespace store
