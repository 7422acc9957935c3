#include "store/report.h"

#include "store/jobs.h"

using namespace line;

namespace store {

const size_t kFailureGroups = 500;
const size_t kLatestFailures = 10;

namespace {

/// A count as the database wrote it; NULL (a sum of nothing) is 0.
uint64_t Count(const std::optional<std::string>& text) {
  return text ? std::stoull(*text) : 0;
}

/// A condition on history h and its parameters.
struct Where {
  std::string sql = " WHERE 1 = 1";
  std::vector<SqlValue> params;

  void Add(const std::optional<std::string>& value, const char* clause) {
    if (!value) return;
    sql += clause;
    params.emplace_back(*value);
  }
};

/// The condition that selects the window's attempts.
Where WindowWhere(const ReportWindow& w) {
  Where where;
  where.Add(w.since, " AND h.started >= ?");
  where.Add(w.until, w.until_exclusive ? " AND h.started < ?" : " AND h.started <= ?");
  where.Add(w.station, " AND h.station = ?");
  if (w.job) {
    // A name alone takes every version of the job.
    const bool versioned = w.job->find('@') != std::string::npos;
    // (The length is the database's own: a bound integer would be a
    // bigint on a server, which substr does not take.)
    where.sql += versioned ? " AND h.job = ?" : " AND substr(h.job, 1, length(?)) = ?";
    if (!versioned) where.params.emplace_back(*w.job + "@");
    where.params.emplace_back(versioned ? *w.job : *w.job + "@");
  }
  return where;
}

/// The reason of history h with its digits made one '#' a number: the
/// same SQL in every dialect, so both stores group alike.
std::string ReasonKeySql() {
  std::string sql = "h.reason";
  for (char digit = '0'; digit <= '9'; ++digit)
    sql = "replace(" + sql + ", '" + digit + "', '#')";
  // Each pass halves a run of '#': five take runs of up to 32 digits.
  for (int pass = 0; pass < 5; ++pass) sql = "replace(" + sql + ", '##', '#')";
  return sql;
}

/// Per station and hour: the boards (their serial without case, else
/// the attempt itself) whose first attempt in the window was there,
/// with what their second (lead) and latest attempts came to, and the
/// attempts made there, in one sorted pass over the window.
const char kBoardsSql[] =
    "SELECT station, hour, "
    "sum(CASE WHEN n = 1 THEN 1 ELSE 0 END), "
    "sum(CASE WHEN n = 1 AND result = 0 THEN 1 ELSE 0 END), "
    "sum(CASE WHEN n = 1 AND last_result = 0 THEN 1 ELSE 0 END), "
    "sum(CASE WHEN n = 1 AND second_result IS NOT NULL THEN 1 ELSE 0 END), "
    "sum(CASE WHEN n = 1 AND result <> 0 AND second_result = 0 THEN 1 ELSE 0 END), "
    "count(*), sum(CASE WHEN result = 0 THEN 1 ELSE 0 END) "
    "FROM (SELECT h.station, substr(h.started, 1, 13) AS hour, h.result, "
    "row_number() OVER w AS n, lead(h.result) OVER w AS second_result, "
    "last_value(h.result) OVER (w ROWS BETWEEN UNBOUNDED PRECEDING AND UNBOUNDED FOLLOWING) AS last_result "
    "FROM vxrom_history h%s "
    // Two partition keys, not one made by concatenation: a text built
    // per record costs a third of the sort.
    "WINDOW w AS (PARTITION BY lower(h.serial), CASE WHEN h.serial IS NULL THEN h.id END "
    "ORDER BY h.started, h.id)) a "
    "GROUP BY station, hour ORDER BY hour, station";

/// sql with its "%s" replaced by where.
std::string WithWhere(const char* sql, const std::string& where) {
  std::string out = sql;
  return out.replace(out.find("%s"), 2, where);
}

/// The boards and the attempts by station and hour.
bool ReadBoards(Transaction& tx, const Where& where, ReportData* data) {
  std::vector<SqlRow> rows;
  if (!tx.Execute(WithWhere(kBoardsSql, where.sql), where.params, &rows)) return false;
  for (const SqlRow& r : rows) {
    const std::string station = r[0].value_or(""), hour = r[1].value_or("");
    data->boards.push_back({station, hour, Count(r[2]), Count(r[3]), Count(r[4]), Count(r[5]), Count(r[6])});
    data->attempts.push_back({station, hour, Count(r[7]), Count(r[8])});
  }
  return true;
}

/// The failures in groups, and the latest ones.
bool ReadFailures(Transaction& tx, const Where& where, ReportData* data) {
  std::vector<SqlRow> rows;
  const std::string key = ReasonKeySql();
  // One group more than kept tells whether any were left out.
  if (!tx.Execute("SELECT h.station, h.result, " + key + ", count(*) FROM vxrom_history h" +
                      where.sql + " AND h.result <> 0 GROUP BY h.station, h.result, " + key +
                      " ORDER BY 4 DESC, 1, 2, 3 LIMIT " + std::to_string(kFailureGroups + 1),
                  where.params, &rows))
    return false;
  data->failures_cut = rows.size() > kFailureGroups;
  if (data->failures_cut) rows.pop_back();
  for (const SqlRow& r : rows)
    data->failures.push_back({r[0].value_or(""), r[1] ? std::stoll(*r[1]) : 0, r[2], Count(r[3])});
  if (!tx.Execute("SELECT h.started, h.station, h.address, h.serial, h.eui64, h.reason, h.result "
                  "FROM vxrom_history h" +
                      where.sql + " AND h.result <> 0 ORDER BY h.started DESC, h.id DESC LIMIT " +
                      std::to_string(kLatestFailures),
                  where.params, &rows))
    return false;
  for (const SqlRow& r : rows)
    data->latest.push_back({r[0].value_or(""), r[1].value_or(""), r[2].value_or(""), r[3], r[4],
                            r[5], r[6] ? std::stoll(*r[6]) : 0});
  return true;
}

/// The numbers used by day of their reservation, in the window's time
/// only.
bool ReadPool(Transaction& tx, const ReportWindow& window, ReportData* data) {
  Where where;
  where.sql = " WHERE state IN ('programmed', 'spoiled')";
  where.Add(window.since, " AND reserved_at >= ?");
  where.Add(window.until, window.until_exclusive ? " AND reserved_at < ?" : " AND reserved_at <= ?");
  std::vector<SqlRow> rows;
  if (!tx.Execute("SELECT substr(reserved_at, 1, 10), count(*) FROM vxrom_eui" + where.sql +
                      " GROUP BY substr(reserved_at, 1, 10) ORDER BY 1",
                  where.params, &rows))
    return false;
  for (const SqlRow& r : rows)
    if (r[0]) data->pool_days.push_back({*r[0], Count(r[1])});
  return true;
}

}  // namespace

StoreStatus ReadReport(Store& store, const ReportWindow& window, ReportData* data,
                       std::string* reason) {
  const Where where = WindowWhere(window);
  const StoreStatus status = store.Transact(
      Access::kRead, [&](Transaction& tx, std::string*) {
        *data = ReportData();
        return ReadBoards(tx, where, data) && ReadFailures(tx, where, data) &&
                       ReadPool(tx, window, data)
                   ? StoreStatus::kOk
                   : tx.Failed();
      },
      reason);
  if (status != StoreStatus::kOk) return status;
  const StoreStatus counted = store.Counts(&data->pool, reason);
  return counted != StoreStatus::kOk ? counted : LowWater(store, &data->low_water, reason);
}

}  // namespace store
