// What an operator or a supervisor types: times that select history,
// serials as a scanner sends them.
#include <gtest/gtest.h>

#include "line/serials.h"
#include "line/time_text.h"

using namespace line;

namespace {

TEST(TimeBound, IsoFormsInUtc) {
  struct Case {
    const char* text;
    TimeBound bound;
    const char* utc;  ///< nullptr: refused.
    bool exclusive;
  };
  const Case cases[] = {
      {"2026-12-08", TimeBound::kStart, "2026-12-08T00:00:00Z", false},
      {"2026-12-08", TimeBound::kEnd, "2026-12-09T00:00:00Z", true},
      {"2024-02-29", TimeBound::kEnd, "2024-03-01T00:00:00Z", true},
      {"2026-12-31T23:59", TimeBound::kEnd, "2026-12-31T23:59:00Z", false},
      {"2026-12-08 08:00:05Z", TimeBound::kStart, "2026-12-08T08:00:05Z", false},
      {"2026-12-08T01:30:00+02:00", TimeBound::kStart, "2026-12-07T23:30:00Z", false},
      {"2026-12-08T23:00:00-0130", TimeBound::kStart, "2026-12-09T00:30:00Z", false},
      {"2026-12-08T08:00:00.250Z", TimeBound::kStart, "2026-12-08T08:00:00Z", false},
      {"today", TimeBound::kStart, nullptr, false},
      {"2026-13-45", TimeBound::kStart, nullptr, false},
      {"2025-02-29", TimeBound::kStart, nullptr, false},
      {"2026-12-08T24:00", TimeBound::kStart, nullptr, false},
      {"2026-12-08T08:00+5", TimeBound::kStart, nullptr, false},
      {"2026-12-08T08:00:00Zjunk", TimeBound::kStart, nullptr, false},
  };
  for (const Case& c : cases) {
    std::string utc, why;
    bool exclusive = false;
    EXPECT_EQ(ParseTimeBound(c.text, c.bound, &utc, &exclusive, &why), c.utc != nullptr) << c.text;
    if (!c.utc) {
      EXPECT_NE(why.find(c.text), std::string::npos);
      continue;
    }
    EXPECT_EQ(utc, c.utc) << c.text;
    EXPECT_EQ(exclusive, c.exclusive) << c.text;
  }
}

TEST(Serials, ScannedTextCleanedAndChecked) {
  SerialRules rules;
  std::string why;
  ASSERT_TRUE(MakeSerialRules("SN[0-9]{4}", &rules, &why));
  const std::pair<const char*, const char*> cases[] = {
      {"  SN1001\t", "SN1001"},
      {"SN1001", "SN1001"},
      {"", nullptr},
      {"   ", nullptr},
      {"SN10", nullptr},
      {"xSN1001", nullptr},
      {"SN1\xff", nullptr},
  };
  for (const auto& c : cases) {
    std::string serial;
    EXPECT_EQ(CleanSerial(c.first, rules, &serial, &why), c.second != nullptr) << c.first;
    if (c.second) EXPECT_EQ(serial, c.second);
  }
  EXPECT_EQ(SerialKey("Sn-1001a"), SerialKey("SN-1001A"));
  EXPECT_FALSE(MakeSerialRules("SN[", &rules, &why));
}

}  // namespace
