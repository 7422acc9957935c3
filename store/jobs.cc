#include "store/jobs.h"

#include <stdlib.h>

#include "platform/process.h"
#include "platform/program.h"
#include "store/ledger.h"
#include "store/rows.h"

using namespace line;

namespace store {

const char kJobColumns[] =
    "name, version, eui, chip_revision, firmware_name, firmware_size, firmware_sha256, "
    "config_name, config_size, config_sha256, note, released_by, released_at, firmware, config";

namespace {

const char kHex[] = "0123456789abcdef";

std::string ToHex(const std::string& bytes) {
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (char byte : bytes) {
    const unsigned c = static_cast<unsigned char>(byte);
    hex += kHex[c >> 4];
    hex += kHex[c & 15u];
  }
  return hex;
}

bool FromHex(const std::string& hex, std::string* bytes) {
  bytes->clear();
  if (hex.size() % 2) return false;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const char pair[3] = {hex[i], hex[i + 1], 0};
    char* end = nullptr;
    const long v = strtol(pair, &end, 16);
    if (*end) return false;
    bytes->push_back(static_cast<char>(v));
  }
  return true;
}

FieldValue MaybeInt(const std::optional<int64_t>& v) { return v ? FieldValue(*v) : FieldValue(); }

std::optional<int64_t> OptionalInt(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return ToInt(text);
}

/// The statement that lists jobs; with bytes when whole.
std::string JobSelect(bool whole) {
  std::string columns = kJobColumns;
  if (!whole) columns = columns.substr(0, columns.find(", firmware, config")) + ", '', NULL";
  return "SELECT " + columns +
         ", (SELECT count(*) FROM vxrom_log l WHERE l.action = 'job retire' AND l.subject = "
         "j.name || '@' || j.version) FROM vxrom_job j";
}

}  // namespace

std::string JobLabel(const Job& job) { return job.name + "@" + std::to_string(job.version); }

bool ParseJobLabel(const std::string& text, std::string* name, int64_t* version) {
  const size_t at = text.rfind('@');
  *name = text.substr(0, at);
  *version = 0;
  if (name->empty()) return false;
  if (at == std::string::npos) return true;
  const std::string digits = text.substr(at + 1);
  if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *version = std::stoll(digits);
  return *version > 0;
}

std::vector<FieldValue> JobEntryFields(const Job& j) {
  return {j.name,
          j.version,
          int64_t{j.eui},
          MaybeInt(j.chip_revision),
          j.firmware_name,
          j.firmware_size,
          j.firmware_sha256,
          FieldValue::Maybe(j.config_name),
          MaybeInt(j.config_size),
          FieldValue::Maybe(j.config_sha256),
          FieldValue::Maybe(j.note),
          j.released_by,
          j.released_at};
}

bool JobFromRow(const SqlRow& r, Job* j) {
  if (r.size() < 13 || !r[0] || !r[1]) return false;
  j->name = *r[0];
  j->version = ToInt(r[1]);
  j->eui = ToInt(r[2]) != 0;
  j->chip_revision = OptionalInt(r[3]);
  j->firmware_name = r[4].value_or("");
  j->firmware_size = ToInt(r[5]);
  j->firmware_sha256 = r[6].value_or("");
  j->config_name = r[7];
  j->config_size = OptionalInt(r[8]);
  j->config_sha256 = r[9];
  j->note = r[10];
  j->released_by = r[11].value_or("");
  j->released_at = r[12].value_or("");
  if (r.size() > 14)
    return FromHex(r[13].value_or(""), &j->firmware) && FromHex(r[14].value_or(""), &j->config);
  return true;
}

std::vector<FieldValue> PoolChangeFields(const PoolChange& c) {
  return {c.at, c.who, c.action, c.subject, FieldValue::Maybe(c.detail)};
}

bool LogChange(Transaction& tx, PoolChange c) {
  if (c.at.empty()) c.at = UtcTimestamp();
  if (c.who.empty()) c.who = ChangeAuthor();
  std::string digest;
  return ChainAppend(tx, kPoolEntry, PoolChangeFields(c), &c.seq, &digest) &&
         tx.Execute(
             "INSERT INTO vxrom_log (seq, at, who, action, subject, detail, digest) VALUES "
             "(?, ?, ?, ?, ?, ?, ?)",
             {c.seq, c.at, c.who, c.action, c.subject, FieldValue::Maybe(c.detail), digest});
}

std::string ChangeAuthor() {
  std::string user;
  if (!platform::GetEnvironment("USER", &user) || user.empty()) platform::GetEnvironment("USERNAME", &user);
  return (user.empty() ? std::string("someone") : user) + "@" + platform::HostName();
}

StoreStatus ReleaseJob(Store& store, Job* job, std::string* reason) {
  job->released_by = ChangeAuthor();
  job->released_at = UtcTimestamp();
  return store.Transact(
      Access::kWriteInTurn, [&](Transaction& tx, std::string* why) {
        std::vector<SqlRow> rows;
        if (!tx.Execute("SELECT max(version) FROM vxrom_job WHERE name = ?", {job->name}, &rows))
          return tx.Failed();
        job->version = (rows.empty() ? 0 : ToInt(rows[0][0])) + 1;
        if (!tx.Execute("SELECT firmware_sha256, config_sha256 FROM vxrom_job WHERE name = ? AND "
                        "version = ?",
                        {job->name, job->version - 1}, &rows))
          return tx.Failed();
        if (!rows.empty() && rows[0][0] == job->firmware_sha256 && rows[0][1] == job->config_sha256) {
          *why = "job " + job->name + "@" + std::to_string(job->version - 1) +
                 " is these files already: nothing released";
          return StoreStatus::kRefused;
        }
        int64_t seq = 0;
        std::string digest;
        if (!ChainAppend(tx, kJobEntry, JobEntryFields(*job), &seq, &digest)) return tx.Failed();
        std::vector<SqlValue> values = JobEntryFields(*job);
        values.emplace_back(ToHex(job->firmware));
        values.emplace_back(job->config_sha256 ? SqlValue(ToHex(job->config)) : SqlValue());
        values.emplace_back(seq);
        values.emplace_back(digest);
        return tx.Execute(std::string("INSERT INTO vxrom_job (") + kJobColumns +
                              ", seq, digest) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                              "?, ?)",
                          values)
                   ? StoreStatus::kOk
                   : tx.Failed();
      },
      reason);
}

StoreStatus ListJobs(Store& store, std::vector<Job>* jobs, std::string* reason) {
  std::vector<SqlRow> rows;
  const StoreStatus status = store.Read(JobSelect(false) + " ORDER BY name, version", {}, &rows, reason);
  for (const SqlRow& r : rows) {
    Job j;
    JobFromRow(SqlRow(r.begin(), r.begin() + 13), &j);
    j.retired = ToInt(r[15]) > 0;
    jobs->push_back(std::move(j));
  }
  return status;
}

StoreStatus FindJob(Store& store, const std::string& name, int64_t version, Job* job,
                    std::string* reason) {
  std::vector<SqlRow> rows;
  StoreStatus status = store.Read(JobSelect(true) + " WHERE name = ? ORDER BY version DESC", {name}, &rows, reason);
  if (status != StoreStatus::kOk) return status;
  for (const SqlRow& r : rows) {
    const bool retired = ToInt(r[15]) > 0;
    if (version ? ToInt(r[1]) != version : retired) continue;
    if (!JobFromRow(r, job)) {
      *reason = "job " + name + "@" + r[1].value_or("?") + " is unreadable in the store";
      return StoreStatus::kRefused;
    }
    job->retired = retired;
    return StoreStatus::kOk;
  }
  *reason = rows.empty() ? "no job \"" + name + "\" is released (vxrom job list tells which are)"
            : version    ? "job \"" + name + "\" has no version " + std::to_string(version)
                         : "every version of job \"" + name + "\" is retired";
  return StoreStatus::kRefused;
}

StoreStatus RetireJob(Store& store, const std::string& name, int64_t version, std::string* reason) {
  Job job;
  StoreStatus status = FindJob(store, name, version, &job, reason);
  if (status != StoreStatus::kOk) return status;
  if (job.retired) return StoreStatus::kOk;
  return store.Transact(
      Access::kWriteInTurn, [&](Transaction& tx, std::string*) {
        PoolChange c;
        c.action = "job retire";
        c.subject = JobLabel(job);
        return LogChange(tx, c) ? StoreStatus::kOk : tx.Failed();
      },
      reason);
}

StoreStatus PoolLog(Store& store, std::vector<PoolChange>* changes, std::string* reason) {
  std::vector<SqlRow> rows;
  const StoreStatus status = store.Read("SELECT seq, at, who, action, subject, detail FROM vxrom_log ORDER BY seq", {}, &rows, reason);
  for (const SqlRow& r : rows)
    changes->push_back({ToInt(r[0]), r[1].value_or(""), r[2].value_or(""), r[3].value_or(""),
                        r[4].value_or(""), r[5]});
  return status;
}

StoreStatus LowWater(Store& store, std::optional<uint64_t>* low, std::string* reason) {
  std::vector<SqlRow> rows;
  const StoreStatus status = store.Read("SELECT value FROM vxrom_setting WHERE name = 'low_water'", {}, &rows, reason);
  low->reset();
  if (!rows.empty() && rows[0][0]) *low = static_cast<uint64_t>(ToInt(rows[0][0]));
  return status;
}

StoreStatus SetLowWater(Store& store, std::optional<uint64_t> low, std::string* reason) {
  return store.Transact(
      Access::kWriteInTurn, [&](Transaction& tx, std::string*) {
        PoolChange c;
        c.action = "low-water";
        c.subject = low ? std::to_string(*low) : "none";
        const bool ok = tx.Execute("DELETE FROM vxrom_setting WHERE name = 'low_water'") &&
                        (!low || tx.Execute("INSERT INTO vxrom_setting (name, value) VALUES ('low_water', ?)",
                                            {std::to_string(*low)})) &&
                        LogChange(tx, c);
        return ok ? StoreStatus::kOk : tx.Failed();
      },
      reason);
}

}  // namespace store
