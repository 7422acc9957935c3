// The report as one HTML page that a browser on any PC shows as it is,
// with no network: its style and charts (SVG) are inline, it runs no
// script, and every figure is also in a table and in a data- attribute
// (for copying, for screen readers, and for the tests, which read the
// page as a browser made it).
#include <stdio.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "vxrom/report.h"

using namespace device;
using namespace line;
using namespace store;

namespace {

const char kStyle[] = R"(<style>
:root{font-family:system-ui,"Segoe UI",Arial,sans-serif;color:#1a202c}
body{max-width:62rem;margin:1rem auto;padding:0 1rem;font-size:14px}
h1{font-size:1.5rem;margin:0 0 .2rem}h2{font-size:1.15rem;border-bottom:2px solid #2b6cb0;margin:1.4rem 0 .5rem}
h3{font-size:1rem;margin:.8rem 0 .3rem}
.meta{color:#4a5568;margin:0}
dl.figures{display:flex;flex-wrap:wrap;gap:.5rem;margin:.5rem 0}
dl.figures div{border:1px solid #cbd5e0;border-radius:4px;padding:.3rem .6rem;min-width:7.5rem}
dt{font-size:.8rem;color:#4a5568}dd{margin:0;font-size:1.3rem;font-weight:600}
.pair{display:flex;flex-wrap:wrap;gap:1rem;align-items:flex-start;break-inside:avoid}
.pair svg{flex:0 0 auto;max-width:100%;height:auto}
table{border-collapse:collapse;font-size:.85rem}
th,td{border:1px solid #cbd5e0;padding:.15rem .4rem;text-align:left;vertical-align:top}
td.n,th.n{text-align:right;font-variant-numeric:tabular-nums}
caption{text-align:left;font-weight:600;padding-bottom:.2rem}
.s0{fill:#2b6cb0}.s1{fill:#68a063}.line{fill:none;stroke:#c05621;stroke-width:2}.dot{fill:#c05621}
.axis{stroke:#718096;stroke-width:1}.grid{stroke:#e2e8f0;stroke-width:1}
svg text{font-size:10px;fill:#2d3748}
.nw{white-space:nowrap}.warn{color:#9b2c2c;font-weight:600}.none{color:#718096}
@page{size:A4;margin:12mm}
@media print{body{max-width:none;margin:0;padding:0;font-size:9pt}h2{break-after:avoid}table,figure,.pair{break-inside:avoid}}
</style>
)";

/// A number as the page shows it.
std::string Fixed(double value, int decimals) {
  char text[64];
  snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}
/// A ratio as a percentage; a dash for none.
std::string Percent(const std::optional<double>& value) {
  return value ? Fixed(*value * 100, 1) + " %" : "\xE2\x80\x93";
}
/// A value to decimals places; a dash for none.
std::string Maybe(const std::optional<double>& value, int decimals) {
  return value ? Fixed(*value, decimals) : "\xE2\x80\x93";
}
/// An exact figure for a data- attribute: a ratio to six places, or empty.
std::string Exact(const std::optional<double>& value) { return value ? Fixed(*value, 6) : ""; }

/// A cell of text.
std::string Cell(const std::string& text) { return "<td>" + HtmlEscape(text) + "</td>"; }
/// A cell kept on one line: a time, an EUI-64.
std::string Whole(const std::string& text) { return "<td class=\"nw\">" + HtmlEscape(text) + "</td>"; }
/// A cell of a count.
std::string Number(uint64_t n) { return "<td class=\"n\">" + std::to_string(n) + "</td>"; }
/// A cell of a figure, aligned as numbers are.
std::string NumberText(const std::string& text) { return "<td class=\"n\">" + text + "</td>"; }
/// A data- attribute.
std::string Data(const char* name, const std::string& value) {
  return std::string(" data-") + name + "=\"" + HtmlEscape(value) + "\"";
}

/// One bar series of a chart, drawn in css_class.
struct Series {
  std::string name;
  std::string css_class;
  std::vector<double> values;
};

/// What a chart draws: bars per label, an optional line of shares (0 to
/// 1, on a right-hand axis), the left axis up to max.
struct Chart {
  std::string id, title;
  std::vector<std::string> labels;
  std::vector<Series> series;
  std::vector<double> line;
  double max = 1;
  bool percent = false;
};

const int kWidth = 560, kHeight = 240, kLeft = 44, kRight = 40, kTop = 22, kBottom = 48;

/// The grid, the axes and their values.
std::string Axes(const Chart& c, int plot_w, int plot_h) {
  std::string svg;
  for (int i = 0; i <= 4; ++i) {
    const int y = kTop + plot_h - plot_h * i / 4;
    const double value = c.max * i / 4;
    svg += "<line class=\"grid\" x1=\"" + std::to_string(kLeft) + "\" x2=\"" + std::to_string(kLeft + plot_w) + "\" y1=\"" + std::to_string(y) + "\" y2=\"" + std::to_string(y) + "\"/>";
    svg += "<text x=\"" + std::to_string(kLeft - 4) + "\" y=\"" + std::to_string(y + 3) + "\" text-anchor=\"end\">" + (c.percent ? Fixed(value * 100, 0) + "%" : Fixed(value, 0)) + "</text>";
    if (!c.line.empty())
      svg += "<text x=\"" + std::to_string(kLeft + plot_w + 4) + "\" y=\"" + std::to_string(y + 3) + "\">" + std::to_string(25 * i) + "%</text>";
  }
  svg += "<line class=\"axis\" x1=\"" + std::to_string(kLeft) + "\" x2=\"" + std::to_string(kLeft + plot_w) + "\" y1=\"" + std::to_string(kTop + plot_h) + "\" y2=\"" + std::to_string(kTop + plot_h) + "\"/>";
  return svg;
}

/// The bars, and the labels below them (a dozen at most).
std::string Bars(const Chart& c, int plot_w, int plot_h) {
  std::string svg;
  const size_t n = c.labels.size();
  const double slot = static_cast<double>(plot_w) / static_cast<double>(n);
  // Bars no wider than 36 px: one period alone is no wall of colour.
  const double bar = std::min(36.0, slot * 0.8 / static_cast<double>(std::max<size_t>(1, c.series.size())));
  const double pad = (slot - bar * static_cast<double>(c.series.size())) / 2;
  const size_t every = (n + 11) / 12;  // a dozen labels at most
  for (size_t i = 0; i < n; ++i) {
    for (size_t s = 0; s < c.series.size(); ++s) {
      const double v = c.series[s].values[i];
      const double h = c.max > 0 ? plot_h * std::min(1.0, v / c.max) : 0;
      const double x = kLeft + slot * static_cast<double>(i) + pad + bar * static_cast<double>(s);
      svg += "<rect class=\"" + c.series[s].css_class + "\" x=\"" + Fixed(x, 1) + "\" y=\"" + Fixed(kTop + plot_h - h, 1) + "\" width=\"" + Fixed(std::max(bar - 1, 0.5), 1) + "\" height=\"" + Fixed(h, 1) + "\"><title>" + HtmlEscape(c.labels[i] + ", " + c.series[s].name + ": " + (c.percent ? Fixed(v * 100, 1) + " %" : Fixed(v, 0))) + "</title></rect>";
    }
    if (i % every == 0)
      svg += "<text x=\"" + Fixed(kLeft + slot * (static_cast<double>(i) + 0.5), 1) + "\" y=\"" + std::to_string(kTop + plot_h + 12) + "\" text-anchor=\"end\" transform=\"rotate(-35 " + Fixed(kLeft + slot * (static_cast<double>(i) + 0.5), 1) + " " + std::to_string(kTop + plot_h + 12) + ")\">" + HtmlEscape(c.labels[i]) + "</text>";
  }
  return svg;
}

/// The cumulative share, as a line over the bars.
std::string Line(const Chart& c, int plot_w, int plot_h) {
  if (c.line.empty()) return "";
  const double slot = static_cast<double>(plot_w) / static_cast<double>(c.line.size());
  std::string points, dots;
  for (size_t i = 0; i < c.line.size(); ++i) {
    const std::string x = Fixed(kLeft + slot * (static_cast<double>(i) + 0.5), 1), y = Fixed(kTop + plot_h * (1 - c.line[i]), 1);
    points += (i ? " " : "") + x + "," + y;
    dots += "<circle class=\"dot\" cx=\"" + x + "\" cy=\"" + y + "\" r=\"2.5\"/>";
  }
  return "<polyline class=\"line\" points=\"" + points + "\"/>" + dots;
}

/// The series' names, and the line's, along the chart's top.
std::string Legend(const Chart& c) {
  std::vector<std::pair<std::string, std::string>> keys;
  for (const Series& s : c.series) keys.emplace_back(s.css_class, s.name);
  if (!c.line.empty()) keys.emplace_back("dot", "cumulative share");
  std::string svg;
  int x = kLeft + 8;
  for (const auto& [css_class, name] : keys) {
    svg += "<rect class=\"" + css_class + "\" x=\"" + std::to_string(x) + "\" y=\"2\" width=\"9\" height=\"9\"/><text x=\"" + std::to_string(x + 12) + "\" y=\"10\">" + HtmlEscape(name) + "</text>";
    x += 24 + 6 * static_cast<int>(name.size());
  }
  return svg;
}

/// The top of a count axis: a multiple of 4, so that its quarters are
/// whole numbers.
double CountTop(double max) { return std::max(4.0, 4 * std::ceil(max / 4)); }

/// The chart as inline SVG; an empty chart says so.
std::string Svg(const Chart& c) {
  const int plot_w = kWidth - kLeft - kRight, plot_h = kHeight - kTop - kBottom;
  std::string svg = "<svg id=\"" + c.id + "\" role=\"img\" aria-label=\"" + HtmlEscape(c.title) + "\" width=\"" + std::to_string(kWidth) + "\" height=\"" + std::to_string(kHeight) + "\" viewBox=\"0 0 " + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\"><title>" + HtmlEscape(c.title) + "</title>";
  svg += Axes(c, plot_w, plot_h) + Legend(c);
  if (c.labels.empty())
    svg += "<text x=\"" + std::to_string(kLeft + plot_w / 2) + "\" y=\"" + std::to_string(kTop + plot_h / 2) + "\" text-anchor=\"middle\">nothing in this window</text>";
  else
    svg += Bars(c, plot_w, plot_h) + Line(c, plot_w, plot_h);
  return svg + "</svg>";
}

/// A figure of the summary: its words, its shown value, its exact value.
std::string Figure(const char* id, const char* words, const std::string& shown, const std::string& exact) {
  return std::string("<div><dt>") + words + "</dt><dd id=\"" + id + "\"" + Data("value", exact) + ">" + HtmlEscape(shown) + "</dd></div>";
}

/// The window's figures, each with its exact value.
std::string Summary(const LineReport& r) {
  const YieldFigures& t = r.total;
  return "<dl class=\"figures\" id=\"summary\">" +
         Figure("boards", "Boards", std::to_string(t.boards), std::to_string(t.boards)) +
         Figure("first-pass-yield", "First-pass yield", Percent(t.FirstPassYield()), Exact(t.FirstPassYield())) +
         Figure("final-yield", "Final yield", Percent(t.FinalYield()), Exact(t.FinalYield())) +
         Figure("first-pass", "Passed first time", std::to_string(t.first_pass), std::to_string(t.first_pass)) +
         Figure("final-pass", "Passed in the end", std::to_string(t.final_pass), std::to_string(t.final_pass)) +
         Figure("attempts", "Attempts", std::to_string(t.attempts), std::to_string(t.attempts)) +
         Figure("boards-per-hour", "Boards per hour worked", Maybe(t.BoardsPerHour(), 1), Exact(t.BoardsPerHour())) +
         Figure("failures", "Failed attempts", std::to_string(r.failures), std::to_string(r.failures)) + "</dl>";
}

/// A table of yields, one row a station or period.
std::string YieldTable(const char* id, const char* caption, const char* head, const char* key, const std::vector<YieldRow>& rows) {
  std::string t = std::string("<table id=\"") + id + "\"><caption>" + caption + "</caption><tr><th>" + head + "</th><th class=\"n\">Boards</th><th class=\"n\">First pass</th><th class=\"n\">First-pass yield</th><th class=\"n\">Final pass</th><th class=\"n\">Final yield</th><th class=\"n\">Attempts</th><th class=\"n\">Boards / hour</th></tr>";
  for (const YieldRow& row : rows) {
    const YieldFigures& f = row.figures;
    t += std::string("<tr") + Data(key, row.label) + Data("boards", std::to_string(f.boards)) + Data("first-pass", std::to_string(f.first_pass)) + Data("final-pass", std::to_string(f.final_pass)) + Data("attempts", std::to_string(f.attempts)) + Data("passed", std::to_string(f.passed)) + ">" + Cell(row.label) + Number(f.boards) + Number(f.first_pass) + NumberText(Percent(f.FirstPassYield())) + Number(f.final_pass) + NumberText(Percent(f.FinalYield())) + Number(f.attempts) + NumberText(Maybe(f.BoardsPerHour(), 1)) + "</tr>";
  }
  if (rows.empty()) t += "<tr><td colspan=\"8\" class=\"none\">no attempts in this window</td></tr>";
  return t + "</table>";
}

/// Yield: the figures, by station, and over time.
std::string YieldSection(const LineReport& r) {
  Chart c{"chart-yield", "Yield by " + r.period, {}, {{"first-pass yield", "s0", {}}, {"final yield", "s1", {}}}, {}, 1, true};
  for (const YieldRow& row : r.periods) {
    c.labels.push_back(r.period == "hour" ? row.label.substr(5) + "h" : row.label.substr(5));
    c.series[0].values.push_back(row.figures.FirstPassYield().value_or(0));
    c.series[1].values.push_back(row.figures.FinalYield().value_or(0));
  }
  return "<section id=\"yield\"><h2>Yield</h2>" + Summary(r) +
         "<p class=\"meta\">A board is its serial (letters in any case); an attempt without a serial counts as a board of its own. A board counts where and when its first attempt in the window was; it passed first time when that attempt passed, and in the end when its latest did. Boards per hour: attempts passed per hour in which any attempt was made. Times are UTC.</p>" +
         YieldTable("yield-by-station", "By station", "Station", "station", r.stations) +
         "<h3>Yield over time</h3><div class=\"pair\">" + Svg(c) +
         YieldTable("yield-by-period", r.period == "hour" ? "By hour (UTC)" : "By day (UTC)", r.period == "hour" ? "Hour" : "Day", "period", r.periods) + "</div></section>";
}

/// A bar's reason as the page shows it.
std::string Reason(const ParetoBar& b) {
  return b.reason.empty() ? "(no reason recorded)" : b.reason;
}

/// A Pareto's bars as a table.
std::string ParetoTable(const char* id, const std::vector<ParetoBar>& bars, bool station) {
  std::string t = std::string("<table id=\"") + id + "\"><tr>" + (station ? "<th>Station</th>" : "<th class=\"n\">#</th>") + "<th class=\"n\">Exit code</th><th>Reason</th><th class=\"n\">Failures</th><th class=\"n\">Cumulative</th></tr>";
  for (size_t i = 0; i < bars.size(); ++i) {
    const ParetoBar& b = bars[i];
    t += std::string("<tr") + Data("station", b.station) + Data("result", std::to_string(b.result)) + Data("count", std::to_string(b.count)) + ">" + (station ? Cell(b.station) : Number(i + 1)) + NumberText(std::to_string(b.result)) + Cell(Reason(b)) + Number(b.count) + NumberText(Percent(b.cumulative)) + "</tr>";
  }
  if (bars.empty()) t += "<tr><td colspan=\"5\" class=\"none\">no failures in this window</td></tr>";
  return t + "</table>";
}

/// The latest failures, as history has them.
std::string LatestTable(const std::vector<FailureRecord>& latest) {
  std::string t = "<table id=\"latest-failures\"><caption>The latest failures</caption><tr><th>Started (UTC)</th><th>Station</th><th>Serial</th><th>Address</th><th>EUI-64</th><th class=\"n\">Exit code</th><th>Reason</th></tr>";
  for (const FailureRecord& f : latest)
    t += "<tr" + Data("serial", f.serial.value_or("")) + ">" + Whole(f.started) + Cell(f.station) + Cell(f.serial.value_or("\xE2\x80\x93")) + Whole(f.address) + Whole(f.eui64.value_or("\xE2\x80\x93")) + NumberText(std::to_string(f.result)) + Cell(f.reason.value_or("")) + "</tr>";
  if (latest.empty()) t += "<tr><td colspan=\"7\" class=\"none\">no failures in this window</td></tr>";
  return t + "</table>";
}

/// The line-wide Pareto: its first ten bars drawn, all in its table.
std::string FailureSection(const LineReport& r) {
  Chart c{"chart-pareto", "Failures by reason (Pareto)", {}, {{"failures", "s0", {}}}, {}, 1, false};
  for (size_t i = 0; i < r.pareto.size() && i < 10; ++i) {
    c.labels.push_back("#" + std::to_string(i + 1) + " (" + std::to_string(r.pareto[i].result) + ")");
    c.series[0].values.push_back(static_cast<double>(r.pareto[i].count));
    c.line.push_back(r.pareto[i].cumulative);
    c.max = std::max(c.max, static_cast<double>(r.pareto[i].count));
  }
  std::string s = "<section id=\"failures\"><h2>Failures</h2><p class=\"meta\">Grouped by exit code and reason, every number in a reason written #.";
  if (r.failures_ungrouped) s += " " + std::to_string(r.failures_ungrouped) + " failures fall in smaller groups not listed.";
  c.max = CountTop(c.max);
  return s + "</p><div class=\"pair\">" + Svg(c) + ParetoTable("pareto", r.pareto, false) + "</div><h3>By station</h3>" + ParetoTable("pareto-by-station", r.station_pareto, true) + LatestTable(r.latest) + "</section>";
}

/// The pool now, and its use per day.
std::string PoolSection(const PoolFigures& p) {
  Chart c{"chart-pool", "Numbers used per day", {}, {{"used", "s0", {}}}, {}, 1, false};
  std::string rows;
  for (const PoolDay& d : p.days) {
    c.labels.push_back(d.day.substr(5));
    c.series[0].values.push_back(static_cast<double>(d.used));
    c.max = std::max(c.max, static_cast<double>(d.used));
    rows += "<tr" + Data("day", d.day) + Data("used", std::to_string(d.used)) + ">" + Cell(d.day) + Number(d.used) + "</tr>";
  }
  c.max = CountTop(c.max);
  if (p.days.empty()) rows = "<tr><td colspan=\"2\" class=\"none\">no numbers used in this window</td></tr>";
  std::string s = "<section id=\"pool\"><h2>The pool</h2><dl class=\"figures\">" +
                  Figure("pool-free", "Free", std::to_string(p.counts.free), std::to_string(p.counts.free)) +
                  Figure("pool-reserved", "Reserved", std::to_string(p.counts.reserved), std::to_string(p.counts.reserved)) +
                  Figure("pool-programmed", "Programmed", std::to_string(p.counts.programmed), std::to_string(p.counts.programmed)) +
                  Figure("pool-spoiled", "Spoiled", std::to_string(p.counts.spoiled), std::to_string(p.counts.spoiled)) +
                  Figure("pool-per-day", "Used a day", Maybe(p.per_day, 1), Exact(p.per_day)) +
                  Figure("pool-days-left", "Days left at that rate", Maybe(p.days_left, 1), Exact(p.days_left)) +
                  Figure("pool-low-water", "Watermark", p.low_water ? std::to_string(*p.low_water) : "none set", p.low_water ? std::to_string(*p.low_water) : "") + "</dl>";
  if (p.below_low_water) s += "<p class=\"warn\" id=\"pool-warning\">Fewer numbers are free than the watermark: add to the pool.</p>";
  s += "<p class=\"meta\">The pool is the line's: --station and --job do not narrow it. Numbers used are those programmed or spoiled, by the day they were reserved.</p>";
  return s + "<div class=\"pair\">" + Svg(c) + "<table id=\"pool-by-day\"><caption>Numbers used by day (UTC)</caption><tr><th>Day</th><th class=\"n\">Used</th></tr>" + rows + "</table></div></section>";
}

/// Boards tried again, and how many passed the second time.
std::string ReworkSection(const YieldFigures& t) {
  return "<section id=\"rework\"><h2>Rework</h2><dl class=\"figures\">" +
         Figure("reworked", "Boards attempted more than once", std::to_string(t.reworked), std::to_string(t.reworked)) +
         Figure("second-pass", "Passed at the second attempt", std::to_string(t.second_pass), std::to_string(t.second_pass)) +
         "</dl></section>";
}

/// The title and the window.
std::string Header(const LineReport& r) {
  std::string window = "from " + r.window.since.value_or("the first record") + (r.window.until_exclusive ? " to before " : " to ") + r.window.until.value_or("the last");
  if (r.window.station) window += ", station " + *r.window.station;
  if (r.window.job) window += ", job " + *r.window.job;
  return "<header><h1>Line report</h1><p class=\"meta\" id=\"window\"" + Data("generated", r.generated) + ">" + HtmlEscape(window) + " \xC2\xB7 made " + HtmlEscape(r.generated) + "</p></header>";
}

}  // namespace

std::string HtmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string ReportHtml(const LineReport& r) {
  return std::string("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><meta name=\"viewport\" content=\"width=device-width\"><title>Line report</title>\n") +
         kStyle + "</head><body>" + Header(r) + YieldSection(r) + FailureSection(r) + PoolSection(r.pool) + ReworkSection(r.total) + "</body></html>\n";
}
