// The exit-code map, the command-line echo and the run-log record.
#include <gtest/gtest.h>

#include "device/exit_codes.h"
#include "device/log_record.h"

using namespace device;

namespace {

TEST(ExitCodes, EveryPairAndTheDefault) {
  // clang-format off: the pairs as a table
  const int pairs[][2] = {
      {0, 0}, {-1, -1}, {-11, -6}, {-12, -1}, {-13, -1}, {-14, -1}, {-15, -1}, {-16, -2}, {-17, -5}, {-21, -5}, {-22, -5}, {-31, -1}, {-32, -1}, {-33, -1}, {-34, -1}, {-41, -7}, {-42, -12}, {-43, -7}, {-44, -10}, {-45, -7}, {-46, -11}, {-51, -15}, {-53, -15}, {-54, -15}, {-55, -17}};
  // clang-format on
  for (auto pair : pairs) EXPECT_EQ(pair[1], MapStatusToExitCode(pair[0]));
  for (int unknown : {-2, -52, 1, 2, -56, -1000})
    EXPECT_EQ(-1, MapStatusToExitCode(unknown)) << unknown;
}

TEST(CommandLineEcho, BlanksBetweenAndOnlyBlanksTrimmed) {
  EXPECT_EQ(L"prog /srom 1 /erase\n",
            BuildCommandLineEcho({L"prog", L"/srom", L"1", L"/erase"}));
  EXPECT_EQ(L"prog a b\n", BuildCommandLineEcho({L"prog", L"a b  "}));
  EXPECT_EQ(L"prog x\t\n", BuildCommandLineEcho({L"prog", L"x\t "}));
  EXPECT_EQ(L"prog  x\n", BuildCommandLineEcho({L"prog", L"", L"x"}));
}

TEST(CommandLineEcho, LineBreaksInArgumentsStayOnOneLine) {
  std::wstring echo = BuildCommandLineEcho(
      {L"prog", L"/log", L"a\n[04:00:00][Return = 0]forged\r"});
  EXPECT_EQ(L"prog /log a\\n[04:00:00][Return = 0]forged\\r\n", echo);
}

TEST(RunLogRecord, PrefixByOpenAddress) {
  EXPECT_EQ(L"[04:00:00][Return = 0]prog\n",
            FormatLogRecord(L"prog\n", 0, 0x0400));
  EXPECT_EQ(L"[1F:1F:07][Return = -8]prog\n",
            FormatLogRecord(L"prog\n", -8, 0x1FFF));
  EXPECT_EQ(L"[--:--:--][Return = -6]prog\n",
            FormatLogRecord(L"prog\n", -6, 0xFFFF));
}

}  // namespace

#include "vxsrom/help.h"

namespace {

TEST(Help, ProgramNameIsAnArgumentNeverAFormat) {
  testing::internal::CaptureStdout();
  PrintHelp(L"v%sx%d", false, false);
  fflush(stdout);
  std::string text = testing::internal::GetCapturedStdout();
  EXPECT_EQ(
      "Serial ROM Utility for VX5130 & VX5130A\n"
      "Usage::\n"
      "v%sx%d [ /? | /srom romtype | /write file1 [file2] [file3] | /dump file1 | \n"
      "          /erase | /noerase | /log [file4] | /address deviceaddress |\n"
      "          /fout file5 | /verify file1 [file2] [file3] |\n"
      "          /writeall file1 [file2] [file3] ]\n"
      "\nExample::\n"
      "\t>v%sx%d /srom 1 /write Fxxxxxx.MEM CFG.INI\n",
      text);
}

}  // namespace
