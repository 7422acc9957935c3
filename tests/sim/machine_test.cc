// The machine description language.
#include "sim/machine.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

TEST(SimMachine, ParsesEveryKeyword) {
  Machine m;
  std::string error;
  ASSERT_TRUE(ParseMachine(
      "# a comment\n"
      "speed 0.5\n"
      "trace calls.log   # trailing comment\n"
      "fault EnumerateDevices -11 call 2\n"
      "enumerate counts 1 2\n"
      "\n"
      "controller 04:00.0 revision 4 part MX25L4005A rom a.bin\n"
      "fault OpenDevice -14\n"
      "poll-fault write -22 at 50%\n"
      "poll-fault read -21 at 4096\n"
      "stuck 0x100 0x00\n"
      "controller 0a:1f.7 revision 255 part 25lc512 rom /abs/b.bin\n",
      "dir/", &m, &error))
      << error;
  EXPECT_EQ(m.speed, 0.5);
  EXPECT_EQ(m.trace_path, "dir/calls.log");
  ASSERT_EQ(m.faults.size(), 1u);
  EXPECT_EQ(m.faults[0].call, 2u);
  EXPECT_EQ(m.enumerate_counts, (std::vector<uint32_t>{1, 2}));
  ASSERT_EQ(m.controllers.size(), 2u);
  const ControllerSpec& a = m.controllers[0];
  EXPECT_EQ(a.address, 0x0400);
  EXPECT_EQ(a.rom_path, "dir/a.bin");
  ASSERT_EQ(a.faults.size(), 1u);
  EXPECT_EQ(a.faults[0].status, -14);
  EXPECT_EQ(a.faults[0].call, 0u);
  ASSERT_EQ(a.poll_faults.size(), 2u);
  EXPECT_TRUE(a.poll_faults[0].percent);
  EXPECT_EQ(a.stuck[0].offset, 0x100u);
  EXPECT_EQ(m.controllers[1].address, 0x0A << 8 | 0x1F << 3 | 7);
  EXPECT_EQ(m.controllers[1].revision, 255);
  EXPECT_EQ(m.controllers[1].rom_path, "/abs/b.bin");
}

TEST(SimMachine, RejectsMistakesWithTheLine) {
  const struct {
    const char* text;
    int line;
  } bad[] = {
      {"speed fast\n", 1},
      {"speed -1\n", 1},
      {"trace\n", 1},
      {"fault Nonesuch -1\n", 1},
      {"fault OpenDevice\n", 1},
      {"fault OpenDevice -1 call 0\n", 1},
      {"fault OpenDevice -1 sometimes\n", 1},
      {"controller 04:00.0 revision 256 part MX25L4005A rom a.bin\n", 1},
      {"controller 04:20.0 revision 4 part MX25L4005A rom a.bin\n", 1},
      {"controller 04:00.0 revision 4 part NOPE rom a.bin\n", 1},
      {"controller 04:00.0 revision 4 part MX25L4005A\n", 1},
      {"controller 04:00.0 revision 4 part MX25L4005A rom a.bin\ncontroller 04:00.0 revision 4 part MX25L4005A rom b.bin\n", 2},
      {"stuck 1 2\n", 1},
      {"controller 04:00.0 revision 4 part MX25L4005A rom a.bin\nstuck 0x8000 0\n", 2},
      {"poll-fault write -1 at 5\n", 1},
      // Found only after the last line: named by the line that gave the counts.
      {"speed 0\nenumerate counts 2\ncontroller 04:00.0 revision 4 part MX25L4005A rom a.bin\n", 2},
      {"frobnicate\n", 1},
  };
  for (const auto& b : bad) {
    Machine m;
    std::string error;
    EXPECT_FALSE(ParseMachine(b.text, "", &m, &error)) << b.text;
    EXPECT_EQ(error.rfind("line " + std::to_string(b.line) + ": ", 0), 0u) << b.text << error;
  }
}

TEST(SimMachine, PciAddressesInBothForms) {
  PciAddress a;
  const struct {
    const char* text;
    int address;  ///< -1: refused.
  } cases[] = {{"04:00.0", 0x0400}, {"04-00-0", 0x0400}, {"4:0.0", 0x0400}, {"1a-1f-7", 0x1AFF}, {"04:00.8", -1}, {"04:00", -1}, {"04-00.0", -1}, {"04:20.0", -1}, {"104:00.0", -1}, {"", -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.address >= 0, ParsePciAddress(c.text, &a)) << c.text;
    if (c.address >= 0) EXPECT_EQ(c.address, a) << c.text;
  }
  EXPECT_EQ(FormatPciAddress(0x0A00 | 3 << 3 | 2), "0A:03.2");
  EXPECT_EQ(FormatPciAddress(0x0A00 | 3 << 3 | 2, true), "0A-03-2");
}

}  // namespace
}  // namespace sim
