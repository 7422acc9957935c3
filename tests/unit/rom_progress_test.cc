// The start-and-poll loop against a scripted library: percentages beyond
// 100, completion values other than 0, and every failure's code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/session.h"
#include "rom/progress.h"
#include "unit/fake_host.h"
#include "words/console_reporter.h"

using namespace device;
using namespace rom;

namespace {

/// What the scripted library answers.
struct Script {
  LibraryStatus start = 0;
  std::vector<std::pair<LibraryStatus, uint32_t>> polls;
  size_t next = 0;
};
Script script;

LibraryStatus Start(PciAddress, uint32_t) { return script.start; }
LibraryStatus StartWrite(PciAddress, uint32_t, const uint8_t*, uint32_t) {
  return script.start;
}
LibraryStatus StartRead(PciAddress, uint32_t, uint32_t, uint32_t, void*,
                        uint32_t) {
  return script.start;
}
LibraryStatus Poll(PciAddress, uint32_t* progress) {
  auto answer = script.polls.at(script.next++);
  *progress = answer.second;
  return answer.first;
}
LibraryStatus PollRead(PciAddress a, uint32_t, uint8_t*, uint32_t* progress) {
  return Poll(a, progress);
}

/// Runs op against the script and returns what it printed.
std::string RunScripted(RomOperation op, uint32_t size, int* result) {
  ControllerLibrary lib = {};
  lib.StartSromErase = Start;
  lib.StartSromWrite = StartWrite;
  lib.StartSromRead = StartRead;
  lib.PollSromProgress = Poll;
  lib.PollSromRead = PollRead;
  StopNotice notice;
  uint8_t buffer[16] = {};
  Console console(stdout, L"test");
  ConsoleReporter reporter(console, L"/address", L"/norev");
  DeviceSession session(&reporter);
  session.library = &lib;
  session.host = &FakeHost();
  testing::internal::CaptureStdout();
  *result = RunRomOperation(session, 0x0400, op, size, buffer, &notice);
  fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

TEST(ProgressPercent, UnsignedAndUnclamped) {
  EXPECT_EQ(50u, ProgressPercent(0x4000, 0x8000));
  EXPECT_EQ(200u, ProgressPercent(0x10000, 0x8000));
  EXPECT_EQ(99u, ProgressPercent(0x7FFF, 0x8000));
  EXPECT_EQ(100u, ProgressPercent(0, 0));  // a library's 0-byte ROM
  // progress * 100 wraps in 32 bits, as the display always did.
  EXPECT_EQ((0x80000000u * 100u) / 0x8000u, ProgressPercent(0x80000000u, 0x8000));
}

TEST(RunRomOperation, LinePerPollAndCompletionOnAnyOtherValue) {
  script = {0, {{1, 0x2000}, {1, 0x6000}, {2, 0x10000}}};
  int result = -99;
  std::string out = RunScripted(RomOperation::kWrite, 0x8000, &result);
  EXPECT_EQ(0, result);
  EXPECT_EQ(3u, script.next);
  EXPECT_EQ(
      "Write Serial ROM....  0% \rWrite Serial ROM....   25% "
      "\rWrite Serial ROM....   75% \rWrite Serial ROM....  200% ",
      out);
}

TEST(RunRomOperation, StartFailureCodes) {
  int result = 0;
  script = {-16, {}};
  EXPECT_EQ("Serial ROM write error (-16)\n",
            RunScripted(RomOperation::kWrite, 0x8000, &result));
  EXPECT_EQ(-2, result);
  script = {-16, {}};
  EXPECT_EQ("Serial ROM erase error (-16)\n",
            RunScripted(RomOperation::kErase, 0x8000, &result));
  EXPECT_EQ(-5, result);
  script = {-2, {}};
  EXPECT_EQ("Serial ROM read error (-2)\n",
            RunScripted(RomOperation::kDumpRead, 0x8000, &result));
  EXPECT_EQ(-5, result);
}

TEST(RunRomOperation, PollFailureIsMinus5) {
  int result = 0;
  script = {0, {{1, 0x100}, {-31, 0x200}}};
  EXPECT_EQ(
      "Verify Serial ROM....  0% \rVerify Serial ROM....    0% "
      "\nSerial ROM read error (-31)\n",
      RunScripted(RomOperation::kVerifyRead, 0x8000, &result));
  EXPECT_EQ(-5, result);
}

TEST(RunRomOperation, EraseStartLineHasNoTrailingBlank) {
  int result = 0;
  script = {0, {{0, 0x8000}}};
  EXPECT_EQ("Erase Serial ROM....  0%\rErase Serial ROM....  100% ",
            RunScripted(RomOperation::kErase, 0x8000, &result));
  EXPECT_EQ(0, result);
}

}  // namespace
