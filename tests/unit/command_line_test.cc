#include "vxsrom/command_line.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include "device/rom_types.h"
#include "platform/console.h"

using namespace device;

namespace {

/// Parses "prog" followed by words; keeps the message printed.
struct Parse {
  CommandLine options;
  RomTypeTable table;
  int result;
  std::string message;

  explicit Parse(std::vector<std::wstring> words) {
    words.insert(words.begin(), L"prog");
    testing::internal::CaptureStdout();
    result = ParseCommandLine(words, &options, &table);
    fflush(stdout);
    message = testing::internal::GetCapturedStdout();
  }
};

void ExpectRejected(std::vector<std::wstring> words, const std::string& message) {
  Parse p(words);
  EXPECT_EQ(-4, p.result);
  EXPECT_EQ(message, p.message);
}

TEST(CommandLine, NothingOrOnlyModifiersMeansListing) {
  Parse none({});
  EXPECT_EQ(0, none.result);
  EXPECT_EQ(OPT_LIST, none.options.flags);
  EXPECT_EQ(5u, none.options.rom_type_selector);
  EXPECT_EQ(0xFFFF, none.options.target_address);
  for (auto words : std::vector<std::vector<std::wstring>>{
           {L"/srom", L"1"}, {L"/log"}, {L"/norev"}, {L"/srom", L"?"}, {L"/srominfo", L"0", L"0", L"0"}}) {
    Parse p(words);
    EXPECT_EQ(0, p.result);
    EXPECT_TRUE(p.options.has(OPT_LIST));
    EXPECT_EQ("", p.message);
  }
}

TEST(CommandLine, WriteTakesOneToThreePaths) {
  ExpectRejected({L"/write"}, "Parameter error = \"/write\"\n");
  Parse p({L"/srom", L"1", L"/write", L"a.mem", L"b.ini", L"c.eui"});
  EXPECT_EQ(0, p.result);
  EXPECT_EQ(OPT_SROM | OPT_WRITE, p.options.flags);
  EXPECT_EQ(L"a.mem", p.options.firmware_path);
  EXPECT_EQ(L"b.ini", p.options.config_path);
  EXPECT_EQ(L"c.eui", p.options.eui64_path);
  ExpectRejected({L"/srom", L"1", L"/write", L"a", L"b", L"c", L"d"},
                 "Parameter error = \"d\"\n");
  ExpectRejected({L"/write", L"a.mem"}, "Please specify \"/srom\" option.\n");
}

TEST(CommandLine, KeywordsFoldOnlyAsciiLetters) {
  EXPECT_EQ(0, Parse({L"/WRITE", L"a", L"/Srom", L"2"}).result);
  ExpectRejected({L"-write"}, "Parameter error = \"-write\"\n");
}

TEST(CommandLine, OptionWhileWordOutstanding) {
  ExpectRejected({L"/dump", L"/erase"}, "Parameter error = \"/erase\"\n");
  ExpectRejected({L"/imagegen", L"o.bin", L"f.mem"},
                 "Parameter error = \"f.mem\"\n");
  Parse p({L"/imagegen", L"o.bin", L"f.mem", L"c.ini"});
  EXPECT_EQ(0, p.result);
  EXPECT_EQ(5u, p.options.rom_type_selector);
  EXPECT_EQ(L"o.bin", p.options.image_path);
}

TEST(CommandLine, Address) {
  struct {
    const wchar_t* word;
    int address;
  } cases[] = {
      {L"4-0-0", 0x0400},
      {L"1F-1F-7", 0x1fff},
      {L"0x4-0-0", 0x0400},
      {L"--4-0-0", 0x0400},
      {L"4--0-0", 0x0400},
      {L"100-0-0", -1},
      {L"0-20-0", -1},
      {L"0-0-8", -1},
      {L"0-0", -1},
      {L"0-0-0-0", -1},
      {L"0-0-z", -1},
      {L"00-00-000", -1},
      {L"4-0-", -1},
      {L"-", -1},
  };
  for (auto c : cases) {
    Parse p({L"/srom", L"1", L"/erase", L"/address", c.word});
    if (c.address < 0) {
      EXPECT_EQ(-4, p.result) << c.word;
    } else {
      EXPECT_EQ(0, p.result) << c.word;
      EXPECT_EQ(+c.address, p.options.target_address) << c.word;
    }
  }
  ExpectRejected({L"/address", L"1-0-0"}, "Command action not found!\n");
  ExpectRejected({L"/srom", L"1", L"/writeall", L"a.mem", L"/address", L"1-0-0"},
                 "Parameter error = \"/address\"\n");
  ExpectRejected({L"/address", L"1-0-0", L"/srom", L"1", L"/writeall", L"a"},
                 "Parameter error = \"/address\"\n");
}

TEST(CommandLine, RomTypes) {
  struct {
    const wchar_t* word;
    uint32_t selector;
  } accepted[] = {
      {L"0", 0}, {L"0x1", 1}, {L"4", 4}, {L"255", 6}, {L"0xff", 6}, {L"?", 8}};
  for (auto c : accepted) {
    Parse p({L"/srom", c.word});
    EXPECT_EQ(0, p.result) << c.word;
    EXPECT_EQ(c.selector, p.options.rom_type_selector) << c.word;
  }
  ExpectRejected({L"/srom", L"010"}, "Unknown Serial ROM Type = \"010\"\n");
  ExpectRejected({L"/srom", L"5"}, "Unknown Serial ROM Type = \"5\"\n");
  ExpectRejected({L"/srom", L"abc"}, "Parameter error = \"abc\"\n");
  ExpectRejected({L"/srom", L""}, "Parameter error = \"\"\n");
  ExpectRejected({L"/srom", L"1", L"2"}, "Parameter error = \"2\"\n");
  ExpectRejected({L"/srom", L"?", L"/erase"}, "Parameter error = \"/srom ?\"\n");
  ExpectRejected({L"/srom", L"1", L"/srominfo"}, "Parameter error = \"/srominfo\"\n");
}

TEST(CommandLine, CustomRomType) {
  Parse p({L"/srominfo", L"0", L"0", L"0x62E0"});
  EXPECT_EQ(0, p.result);
  EXPECT_EQ(7u, p.options.rom_type_selector);
  EXPECT_EQ(0x8000u, +p.table.rows[7].mem_size);
  EXPECT_EQ(0x80, +p.table.rows[7].page_size);
  EXPECT_EQ(0x62E0, +p.table.rows[7].dev_code);
  ExpectRejected({L"/srominfo", L"0x1000", L"0x2000", L"1"},
                 "Parameter error = \"0x2000\"\n");
  ExpectRejected({L"/srominfo", L"0x8001", L"1", L"1"},
                 "Parameter error = \"0x8001\"\n");
  ExpectRejected({L"/srominfo", L"1", L"1", L"0x10000"},
                 "Parameter error = \"0x10000\"\n");
  ExpectRejected({L"/srominfo", L"1", L"1", L"1", L"1"},
                 "Parameter error = \"1\"\n");
  ExpectRejected({L"/srominfo", L"1", L"1"}, "Parameter error = \"1\"\n");
}

TEST(CommandLine, HelpOnlyFirstOrLast) {
  Parse first({L"/?", L"/srom", L"1", L"/write", L"a.mem"});
  EXPECT_EQ(0, first.result);
  EXPECT_TRUE(first.options.has(OPT_HELP));
  ExpectRejected({L"/write", L"a.mem", L"/?"}, "Please specify \"/srom\" option.\n");
  ExpectRejected({L"/srom", L"1", L"/write", L"a.mem", L"/?", L"/erase"},
                 "Parameter error = \"/?\"\n");
  EXPECT_EQ(0, Parse({L"/???"}).result);
}

TEST(CommandLine, CombinationChecks) {
  ExpectRejected({L"/srom", L"1", L"/erase", L"/noerase"},
                 "Parameter error = \"/noerase\"\n");
  ExpectRejected({L"/srom", L"1", L"/noerase", L"/erase"},
                 "Parameter error = \"/noerase\"\n");
  ExpectRejected({L"/fout", L"x.bin", L"/srom", L"1", L"/erase"},
                 "Parameter error = \"/fout\"\n");
  ExpectRejected({L"/srom", L"1", L"/erase", L"/fout", L"x.bin"},
                 "Parameter error = \"/fout\"\n");
  Parse both({L"/srom", L"1", L"/erase", L"/write", L"a.mem"});
  EXPECT_EQ(0, both.result);
  EXPECT_EQ(OPT_SROM | OPT_ERASE | OPT_WRITE, both.options.flags);
  ExpectRejected({L"/srom", L"1", L"/dump", L"x", L"/erase"},
                 "Parameter error = \"/erase\"\n");
}

TEST(CommandLine, LogWordIsOptional) {
  Parse plain({L"/log"});
  EXPECT_EQ(L"log.txt", plain.options.log_path);
  Parse named({L"/log", L"runs.txt", L"/log"});
  EXPECT_EQ(L"log.txt", named.options.log_path);
  ExpectRejected({L"/log", L"a", L"b"}, "Parameter error = \"b\"\n");
}

TEST(CommandLine, PathLengthLimit) {
  std::wstring longest(259, L'p'), too_long(260, L'p');
  EXPECT_EQ(0, Parse({L"/srom", L"1", L"/dump", longest}).result);
  ExpectRejected({L"/srom", L"1", L"/dump", too_long},
                 "Parameter too long = \"" + std::string(260, 'p') + "\"\n");
}

TEST(CommandLine, AbsolutePathsAsWords) {
  Parse p({L"/srom", L"1", L"/dump", L"/tmp/rom.bin"});
  if (platform::kSlashStartsPaths) {
    EXPECT_EQ(0, p.result);
    EXPECT_EQ(L"/tmp/rom.bin", p.options.image_path);
  } else {
    EXPECT_EQ("Parameter error = \"/tmp/rom.bin\"\n", p.message);
  }
  ExpectRejected({L"/bogus"}, "Parameter error = \"/bogus\"\n");
  ExpectRejected({L"/srom", L"/tmp"}, "Parameter error = \"/tmp\"\n");
}

}  // namespace
