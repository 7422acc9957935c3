// vxrom report: the line's yield, failures, pool and rework over a window
// of history, as one self-contained HTML page for a supervisor or as one
// JSON object for a dashboard.  The figures are plain structs made from
// the store's aggregates; the writers only lay them out.
#ifndef VXROM_REPORT_H_
#define VXROM_REPORT_H_

#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "device/exit_codes.h"
#include "line/record_json.h"
#include "store/report.h"
#include "vxrom/options.h"

/// Boards and attempts of a station, a period or the whole window.
struct YieldFigures {
  uint64_t boards = 0;       ///< Boards whose first attempt falls here.
  uint64_t first_pass = 0;   ///< Of those, passed at the first attempt.
  uint64_t final_pass = 0;   ///< Of those, passed at the latest attempt.
  uint64_t reworked = 0;     ///< Of those, attempted more than once.
  uint64_t second_pass = 0;  ///< Of those, failed first and passed second.
  uint64_t attempts = 0;     ///< Attempts made here.
  uint64_t passed = 0;       ///< Attempts that passed.
  uint64_t hours = 0;        ///< Hours with at least one attempt.

  /// first_pass / boards; none without boards.
  std::optional<double> FirstPassYield() const;
  /// final_pass / boards; none without boards.
  std::optional<double> FinalYield() const;
  /// Boards passed per hour of work; none without work.
  std::optional<double> BoardsPerHour() const;
};

/// A labelled row of yields: a station, or a period ("2024-05-01" or
/// "2024-05-01T08").
struct YieldRow {
  std::string label;
  YieldFigures figures;
};

/// One bar of a Pareto: an exit code and a reason, line-wide or of one
/// station, with its share of the failures counted so far.
struct ParetoBar {
  std::string station;  ///< Empty on the line-wide Pareto.
  int64_t result = 0;
  std::string reason;  ///< Normalised ('#' a number); empty when none was given.
  uint64_t count = 0;
  double cumulative = 0;  ///< Share of the failures up to this bar, 0 to 1.
};

/// The pool now, and its use in the window.
struct PoolFigures {
  store::PoolCounts counts;
  std::vector<store::PoolDay> days;  ///< Numbers used, by day of reservation.
  uint64_t used = 0;                 ///< In the window.
  double window_days = 0;            ///< Days the window spans up to now.
  std::optional<double> per_day;     ///< Numbers used a day; none when none.
  std::optional<double> days_left;   ///< free / per_day.
  std::optional<uint64_t> low_water;
  bool below_low_water = false;
};

/// Everything a report shows.
struct LineReport {
  std::string generated;  ///< UTC, when the report was made.
  store::ReportWindow window;
  std::string period;  ///< "hour" or "day": the length of each row of periods.
  YieldFigures total;
  std::vector<YieldRow> stations;
  std::vector<YieldRow> periods;
  std::vector<ParetoBar> pareto;          ///< Line-wide, most first.
  std::vector<ParetoBar> station_pareto;  ///< Per station, most first within each.
  uint64_t failures = 0;                  ///< Failed attempts.
  uint64_t failures_ungrouped = 0;        ///< Failed attempts in groups not read.
  std::vector<store::FailureRecord> latest;
  PoolFigures pool;
};

/// The report of data, read for window at the time now (UTC).
LineReport MakeReport(const store::ReportData& data, const store::ReportWindow& window, const std::string& now);

/// The report as one JSON object (the fields the guide lists).
line::Json ReportJson(const LineReport& report);

/// The report as one HTML page: no script, no link outside it.
std::string ReportHtml(const LineReport& report);

/// Text safe inside HTML elements and quoted attributes.
std::string HtmlEscape(const std::string& text);

/// Writes the report the options ask for.  @return the exit code.
device::ExitCode ReportCommand(const CommonOptions& common, const ReportOptions& options);

#endif  // VXROM_REPORT_H_
