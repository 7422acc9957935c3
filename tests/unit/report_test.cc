// The report's figures from the store's aggregates, and its escaping:
// what the database cannot be asked in an end-to-end case cheaply.
#include "vxrom/report.h"

#include <gtest/gtest.h>

using namespace device;
using namespace line;
using namespace store;

namespace {

TEST(Report, EscapesEveryMarkupCharacter) {
  EXPECT_EQ(HtmlEscape("<script>a & 'b' \"c\"</script> Prüf"),
            "&lt;script&gt;a &amp; &#39;b&#39; &quot;c&quot;&lt;/script&gt; Prüf");
}

// Hours spanning more than two days become days; boards count at their
// first attempt's station; hours worked are told apart across stations.
TEST(Report, RollsHoursIntoDaysAndCountsHoursWorked) {
  ReportData data;
  data.boards = {{"a", "2026-12-01T08", 3, 2, 3, 1, 1}, {"b", "2026-12-01T08", 1, 1, 1, 0, 0}, {"a", "2026-12-04T09", 2, 1, 1, 0, 0}};
  data.attempts = {{"a", "2026-12-01T08", 4, 3}, {"b", "2026-12-01T08", 1, 1}, {"a", "2026-12-04T09", 2, 1}};
  const LineReport r = MakeReport(data, ReportWindow(), "2026-12-05T00:00:00Z");
  EXPECT_EQ(r.period, "day");
  ASSERT_EQ(r.periods.size(), 2u);
  EXPECT_EQ(r.periods[0].label, "2026-12-01");
  EXPECT_EQ(r.periods[0].figures.boards, 4u);
  EXPECT_EQ(r.periods[0].figures.hours, 1u);
  EXPECT_EQ(r.total.hours, 2u);
  EXPECT_DOUBLE_EQ(*r.total.BoardsPerHour(), 2.5);
  EXPECT_DOUBLE_EQ(*r.total.FirstPassYield(), 4.0 / 6);
  ASSERT_EQ(r.stations.size(), 2u);
  EXPECT_EQ(r.stations[0].figures.hours, 2u);
  EXPECT_FALSE(MakeReport(ReportData(), ReportWindow(), "2026-12-05T00:00:00Z").total.FinalYield());
}

// Reasons that differ in their numbers only (addresses, offsets in
// hexadecimal) are one bar; the shares add up to the failures.
TEST(Report, GroupsReasonsByTheirWords) {
  ReportData data;
  data.attempts = {{"a", "2026-12-01T08", 10, 6}};
  data.failures = {{"a", -8, "#-#-#: mismatch at #x#C (ROM #xFF)", 3},
                   {"a", -8, "#-#-#: mismatch at #x#E (ROM #x#)", 1}};
  const LineReport r = MakeReport(data, ReportWindow(), "2026-12-05T00:00:00Z");
  ASSERT_EQ(r.pareto.size(), 1u);
  EXPECT_EQ(r.pareto[0].reason, "#: mismatch at # (ROM #)");
  EXPECT_EQ(r.pareto[0].count, 4u);
  EXPECT_DOUBLE_EQ(r.pareto[0].cumulative, 1.0);
}

// Days left at the window's rate; a watermark above the free numbers warns.
TEST(Report, PoolDaysLeftAndWatermark) {
  ReportData data;
  data.pool.free = 90;
  data.pool_days = {{"2026-12-01", 20}, {"2026-12-02", 10}};
  data.low_water = 100;
  ReportWindow window;
  window.since = "2026-12-01T00:00:00Z";
  const LineReport r = MakeReport(data, window, "2026-12-04T00:00:00Z");
  EXPECT_DOUBLE_EQ(*r.pool.per_day, 10.0);
  EXPECT_DOUBLE_EQ(*r.pool.days_left, 9.0);
  EXPECT_TRUE(r.pool.below_low_water);
}

}  // namespace
