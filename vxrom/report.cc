#include "vxrom/report.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <tuple>
#include <utility>

#include "device/exit_codes.h"
#include "line/time_text.h"
#include "platform/output_file.h"
#include "platform/text.h"
#include "vxrom/output.h"
#include "vxrom/store_access.h"

using namespace device;
using namespace line;
using namespace store;

namespace {

/// Rows of hours up to this span of the data; rows of days beyond it.
const int64_t kHourRowsUpTo = 48 * 3600;

/// part / whole; none when whole is 0.
std::optional<double> Ratio(uint64_t part, uint64_t whole) {
  if (whole == 0) return std::nullopt;
  return static_cast<double>(part) / static_cast<double>(whole);
}

/// Adds a cell's boards to f.
void AddBoards(const BoardCell& c, YieldFigures* f) {
  f->boards += c.boards;
  f->first_pass += c.first_pass;
  f->final_pass += c.final_pass;
  f->reworked += c.reworked;
  f->second_pass += c.second_pass;
}

/// Seconds of an hour's label ("2024-05-01T08").
int64_t HourSeconds(const std::string& hour) {
  int64_t seconds = 0;
  return UtcSeconds(hour + ":00", &seconds) ? seconds : 0;
}

/// The yields by station and by period (hours, or days for a longer
/// span), with the hours worked in each.
void MakeYields(const ReportData& data, LineReport* report) {
  std::set<std::string> hours;
  for (const AttemptCell& c : data.attempts) hours.insert(c.hour);
  for (const BoardCell& c : data.boards) hours.insert(c.hour);
  const bool by_day = !hours.empty() && HourSeconds(*hours.rbegin()) - HourSeconds(*hours.begin()) > kHourRowsUpTo;
  report->period = by_day ? "day" : "hour";
  auto period = [&](const std::string& hour) { return by_day ? hour.substr(0, 10) : hour; };
  std::map<std::string, YieldFigures> stations, periods;
  std::set<std::string> worked;
  for (const BoardCell& c : data.boards) {
    AddBoards(c, &stations[c.station]);
    AddBoards(c, &periods[period(c.hour)]);
    AddBoards(c, &report->total);
  }
  for (const AttemptCell& c : data.attempts) {
    for (YieldFigures* f : {&stations[c.station], &periods[period(c.hour)], &report->total}) {
      f->attempts += c.attempts;
      f->passed += c.passed;
    }
    ++stations[c.station].hours;
    if (worked.insert(c.hour).second) {
      ++periods[period(c.hour)].hours;
      ++report->total.hours;
    }
  }
  for (const auto& [label, figures] : stations) report->stations.push_back({label, figures});
  for (const auto& [label, figures] : periods) report->periods.push_back({label, figures});
}

/// A reason with every token of numbers in it (an address, an EUI-64,
/// an offset in hexadecimal: the database made each digit '#') made one
/// '#', so that the same failure on two boards is one group.
std::string ReasonKey(const std::string& reason) {
  static const std::string kNumberish = "#0123456789abcdefABCDEFxX:.-";
  std::string out;
  for (size_t at = 0; at < reason.size();) {
    const size_t end = std::min(reason.find_first_not_of(kNumberish, at), reason.size());
    if (end == at) {
      out += reason[at++];
      continue;
    }
    std::string token = reason.substr(at, end - at);
    at = end;
    if (token.find('#') == std::string::npos) {
      out += token;
      continue;
    }
    const size_t tail = token.find_last_not_of(":.-");
    out += "#" + token.substr(tail + 1);
  }
  return out;
}

/// The Pareto's order: by station, the largest first, then by code and reason.
bool MoreFirst(const ParetoBar& a, const ParetoBar& b) {
  if (a.station != b.station) return a.station < b.station;
  if (a.count != b.count) return a.count > b.count;
  return std::tie(a.result, a.reason) < std::tie(b.result, b.reason);
}

/// The Paretos: line-wide (the groups of every station merged) and per
/// station, each with its cumulative share.
void MakePareto(const ReportData& data, LineReport* report) {
  report->failures = report->total.attempts - report->total.passed;
  std::map<std::pair<int64_t, std::string>, uint64_t> line;
  std::map<std::tuple<std::string, int64_t, std::string>, uint64_t> station;
  uint64_t grouped = 0;
  for (const FailureGroup& g : data.failures) {
    const std::string reason = ReasonKey(g.reason.value_or(""));
    line[{g.result, reason}] += g.count;
    station[{g.station, g.result, reason}] += g.count;
    grouped += g.count;
  }
  for (const auto& [key, count] : station)
    report->station_pareto.push_back({std::get<0>(key), std::get<1>(key), std::get<2>(key), count, 0});
  report->failures_ungrouped = report->failures > grouped ? report->failures - grouped : 0;
  for (const auto& [key, count] : line) report->pareto.push_back({"", key.first, key.second, count, 0});
  std::sort(report->pareto.begin(), report->pareto.end(), MoreFirst);
  std::sort(report->station_pareto.begin(), report->station_pareto.end(), MoreFirst);
  std::map<std::string, uint64_t> station_failures, so_far;
  for (const YieldRow& s : report->stations) station_failures[s.label] = s.figures.attempts - s.figures.passed;
  uint64_t sum = 0;
  for (ParetoBar& bar : report->pareto) bar.cumulative = Ratio(sum += bar.count, report->failures).value_or(0);
  for (ParetoBar& bar : report->station_pareto)
    bar.cumulative = Ratio(so_far[bar.station] += bar.count, station_failures[bar.station]).value_or(0);
}

/// The pool's use over the window that has passed, and its days left.
void MakePool(const ReportData& data, const ReportWindow& window, const std::string& now, PoolFigures* pool) {
  pool->counts = data.pool;
  pool->days = data.pool_days;
  for (const PoolDay& d : data.pool_days) pool->used += d.used;
  int64_t start = 0, end = 0, until = 0;
  UtcSeconds(now, &end);
  if (window.until && UtcSeconds(*window.until, &until)) end = std::min(end, until);
  const bool started = window.since ? UtcSeconds(*window.since, &start)
                                    : !data.pool_days.empty() && UtcSeconds(data.pool_days[0].day, &start);
  // A window counts as a day at least: a morning's use is that day's.
  if (started && end > start) pool->window_days = std::max(1.0, static_cast<double>(end - start) / 86400);
  if (pool->used > 0 && pool->window_days > 0) {
    pool->per_day = static_cast<double>(pool->used) / pool->window_days;
    pool->days_left = static_cast<double>(pool->counts.free) / *pool->per_day;
  }
  pool->low_water = data.low_water;
  pool->below_low_water = data.low_water && pool->counts.free < *data.low_water;
}

/// A value, or null.
Json Maybe(const std::optional<double>& value) { return value ? Json(*value) : Json(nullptr); }
Json Maybe(const std::optional<std::string>& value) { return value ? Json(*value) : Json(nullptr); }

/// The figures' fields of a JSON object.
Json FiguresJson(const YieldFigures& f) {
  return {{"boards", f.boards},
          {"first_pass", f.first_pass},
          {"final_pass", f.final_pass},
          {"first_pass_yield", Maybe(f.FirstPassYield())},
          {"final_yield", Maybe(f.FinalYield())},
          {"reworked", f.reworked},
          {"second_pass", f.second_pass},
          {"attempts", f.attempts},
          {"passed", f.passed},
          {"hours", f.hours},
          {"boards_per_hour", Maybe(f.BoardsPerHour())}};
}

/// Rows of figures, each labelled under key.
Json RowsJson(const std::vector<YieldRow>& rows, const char* key) {
  Json all = Json::array();
  for (const YieldRow& row : rows) {
    Json j = {{key, row.label}};
    j.update(FiguresJson(row.figures));
    all.push_back(j);
  }
  return all;
}

/// The bars of a Pareto; with their station when per station.
Json ParetoJson(const std::vector<ParetoBar>& bars, bool station) {
  Json all = Json::array();
  for (const ParetoBar& b : bars) {
    Json j = station ? Json{{"station", b.station}} : Json::object();
    j.update({{"result", b.result}, {"reason", b.reason.empty() ? Json(nullptr) : Json(b.reason)}, {"count", b.count}, {"cumulative", b.cumulative}});
    all.push_back(j);
  }
  return all;
}

/// The latest failures.
Json LatestJson(const std::vector<FailureRecord>& latest) {
  Json all = Json::array();
  for (const FailureRecord& f : latest)
    all.push_back({{"started", f.started}, {"station", f.station}, {"serial", Maybe(f.serial)}, {"address", f.address}, {"eui64", Maybe(f.eui64)}, {"result", f.result}, {"reason", Maybe(f.reason)}});
  return all;
}

/// The pool's figures.
Json PoolJson(const PoolFigures& p) {
  Json days = Json::array();
  for (const PoolDay& d : p.days) days.push_back({{"day", d.day}, {"used", d.used}});
  return {{"free", p.counts.free}, {"reserved", p.counts.reserved}, {"programmed", p.counts.programmed}, {"spoiled", p.counts.spoiled}, {"used", p.used}, {"window_days", p.window_days}, {"per_day", Maybe(p.per_day)}, {"days_left", Maybe(p.days_left)}, {"low_water", p.low_water ? Json(*p.low_water) : Json(nullptr)}, {"below_low_water", p.below_low_water}, {"days", days}};
}

/// The window the options ask for.  @return kExitOk or kExitCommandLine
/// (said).
ExitCode MakeWindow(const ReportOptions& options, ReportWindow* window) {
  std::string why, utc;
  bool exclusive = false;
  for (const auto& [text, bound] : {std::make_pair(&options.since, TimeBound::kStart),
                                    std::make_pair(&options.until, TimeBound::kEnd)}) {
    if (text->empty()) continue;
    if (!ParseTimeBound(*text, bound, &utc, &exclusive, &why)) {
      VxromReasons().Reason(L"--%ls %ls", bound == TimeBound::kStart ? L"since" : L"until",
                            platform::WideFromUtf8(why).c_str());
      return kExitCommandLine;
    }
    (bound == TimeBound::kStart ? window->since : window->until) = utc;
    if (bound == TimeBound::kEnd) window->until_exclusive = exclusive;
  }
  if (options.has_station) window->station = options.station;
  if (!options.job.empty()) window->job = options.job;
  return kExitOk;
}

/// Puts text at path whole, or leaves what was there.  @return the exit code.
ExitCode WriteFile(const std::wstring& path, const std::string& text) {
  std::unique_ptr<platform::OutputFile> file;
  int error_number = 0;
  std::wstring why;
  if (platform::OutputFile::Open(path, &file, &error_number, &why) &&
      file->Write(text.data(), text.size()) && file->Commit())
    return kExitOk;
  VxromReasons().Reason(L"cannot write the report \"%ls\": %ls", path.c_str(),
                        (file ? file->reason() : why).c_str());
  return kExitFile;
}

}  // namespace

std::optional<double> YieldFigures::FirstPassYield() const { return Ratio(first_pass, boards); }
std::optional<double> YieldFigures::FinalYield() const { return Ratio(final_pass, boards); }
std::optional<double> YieldFigures::BoardsPerHour() const { return Ratio(passed, hours); }

LineReport MakeReport(const ReportData& data, const ReportWindow& window, const std::string& now) {
  LineReport report;
  report.generated = now;
  report.window = window;
  MakeYields(data, &report);
  MakePareto(data, &report);
  report.latest = data.latest;
  MakePool(data, window, now, &report.pool);
  return report;
}

Json ReportJson(const LineReport& r) {
  Json window = {{"since", Maybe(r.window.since)}, {"until", Maybe(r.window.until)}, {"until_exclusive", r.window.until_exclusive}, {"station", Maybe(r.window.station)}, {"job", Maybe(r.window.job)}};
  Json failures = {{"total", r.failures}, {"ungrouped", r.failures_ungrouped}, {"pareto", ParetoJson(r.pareto, false)}, {"by_station", ParetoJson(r.station_pareto, true)}, {"latest", LatestJson(r.latest)}};
  Json j = {{"generated", r.generated}, {"window", window}};
  j.update(FiguresJson(r.total));
  j.update({{"stations", RowsJson(r.stations, "station")}, {"period", r.period}, {"periods", RowsJson(r.periods, "period")}, {"failures", failures}, {"pool", PoolJson(r.pool)}});
  return j;
}

ExitCode ReportCommand(const CommonOptions& common, const ReportOptions& options) {
  ReportWindow window;
  const ExitCode result = MakeWindow(options, &window);
  if (result != kExitOk) return result;
  if (!common.json && options.output_path.empty()) {
    VxromReasons().Reason(L"report: -o FILE names the page to write (with --json, standard output serves)");
    return kExitCommandLine;
  }
  std::unique_ptr<Store> store = OpenOptionsStore(common);
  if (!store) return kExitDatabase;
  ReportData data;
  std::string reason;
  const StoreStatus status = ReadReport(*store, window, &data, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  const LineReport report = MakeReport(data, window, UtcTimestamp());
  const std::string text = common.json ? JsonText(ReportJson(report), 2) + "\n" : ReportHtml(report);
  if (options.output_path.empty()) {
    WriteResult(text);
    return kExitOk;
  }
  return WriteFile(options.output_path, text);
}
