// Part models: what erase, program and read do to a chip's bytes.
#include "sim/rom_chip.h"

#include <gtest/gtest.h>

#include "sim/long_operation.h"
#include "sim/parts.h"

namespace sim {
namespace {

RomChip Blank(const char* name) {
  const Part* part = FindPart(name);
  return RomChip(*part, std::vector<uint8_t>(part->size, 0xFF), {});
}

TEST(SimRomChip, CatalogueHasEveryListedType) {
  const char* names[] = {"AT25F512", "MX25L4005A", "W25X40BV", "MX25L5121E", "25LC512",
                         "SST25VF512A", "M25P05", "UNSUPPORTED"};
  for (const char* name : names) EXPECT_NE(FindPart(name), nullptr) << name;
  EXPECT_EQ(FindPart("w25x40bv"), FindPart("W25X40BV"));
  EXPECT_EQ(FindPart("nonesuch"), nullptr);
  EXPECT_EQ(+FindPart("M25P05")->reported.mem_size, 0x10000u);
  EXPECT_FALSE(FindPart("UNSUPPORTED")->supported);
}

TEST(SimRomChip, FlashProgramOnlyClearsBits) {
  RomChip chip = Blank("MX25L4005A");
  uint8_t a[2] = {0xF0, 0x0F};
  uint8_t b[2] = {0x3C, 0xFF};
  chip.Program(0, a, 2);
  chip.Program(0, b, 2);
  EXPECT_EQ(chip.bytes()[0], 0x30);
  EXPECT_EQ(chip.bytes()[1], 0x0F);
}

TEST(SimRomChip, OnlyTheOwnOpcodeErases) {
  RomChip chip = Blank("W25X40BV");
  uint8_t zero = 0;
  chip.Program(5, &zero, 1);
  EXPECT_FALSE(chip.Erase(0x60));
  EXPECT_EQ(chip.bytes()[5], 0);
  EXPECT_TRUE(chip.Erase(0xC7));
  EXPECT_EQ(chip.bytes()[5], 0xFF);
}

TEST(SimRomChip, ProgramWrapsAtTheTruePage) {
  RomChip chip = Blank("MX25L5121E");  // 32-byte pages
  std::vector<uint8_t> data(256);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  chip.Program(0, data.data(), 256);
  // The last 32 bytes sent overwrite the page buffer; the next page is untouched.
  EXPECT_EQ(chip.bytes()[0], 224);
  EXPECT_EQ(chip.bytes()[31], 255);
  EXPECT_EQ(chip.bytes()[32], 0xFF);
}

TEST(SimRomChip, EepromReplacesBytes) {
  RomChip chip = Blank("25LC512");
  uint8_t a = 0x00, b = 0xA5;
  chip.Program(7, &a, 1);
  chip.Program(7, &b, 1);
  EXPECT_EQ(chip.bytes()[7], 0xA5);
  EXPECT_FALSE(chip.Erase(0x60));
}

TEST(SimRomChip, StuckCellsKeepTheirValue) {
  const Part* part = FindPart("AT25F512");
  RomChip chip(*part, std::vector<uint8_t>(part->size, 0xFF), {{10, 0x00}});
  EXPECT_EQ(chip.bytes()[10], 0x00);
  EXPECT_TRUE(chip.Erase(0x62));
  EXPECT_EQ(chip.bytes()[10], 0x00);
}

TEST(SimLongOperation, TimingsAreInDatasheetRanges) {
  size_t count;
  const Part* parts = Parts(&count);
  std::vector<uint8_t> image(32768, 0);
  for (size_t i = 0; i < count; ++i) {
    const Part& p = parts[i];
    double write = LongOperation::Write(p, image.data(), 32768, p.reported.page_size).duration();
    double read = LongOperation::Read(p, 0, 32768).duration();
    EXPECT_GT(write, 0.1) << p.name;
    EXPECT_LT(write, 2.0) << p.name;
    EXPECT_LT(read, 0.05) << p.name;
    if (!p.eeprom) {
      double erase = LongOperation::Erase(p, p.erase_opcode, 32768).duration();
      EXPECT_GE(erase, 0.1) << p.name;
      EXPECT_LE(erase, 2.0) << p.name;
    }
  }
}

TEST(SimLongOperation, WriteProgressesPageByPage) {
  RomChip chip = Blank("MX25L4005A");
  std::vector<uint8_t> image(1024, 0x11);
  LongOperation op = LongOperation::Write(chip.part(), image.data(), 1024, 256);
  PollResult r = op.Advance(chip.part().page_seconds * 2.5, nullptr, &chip, nullptr);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.progress, 512u);
  EXPECT_EQ(chip.bytes()[511], 0x11);
  EXPECT_EQ(chip.bytes()[512], 0xFF);
  r = op.Advance(1e9, nullptr, &chip, nullptr);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.progress, 1024u);
}

TEST(SimLongOperation, PollFaultStopsAtItsProgress) {
  RomChip chip = Blank("MX25L4005A");
  std::vector<uint8_t> image(32768, 0x00);
  PollFault fault;
  fault.status = -22;
  fault.at = 50;
  fault.percent = true;
  LongOperation op = LongOperation::Write(chip.part(), image.data(), 32768, 256);
  PollResult r = op.Advance(1e9, &fault, &chip, nullptr);
  EXPECT_EQ(r.status, -22);
  EXPECT_EQ(r.progress, 16384u);
  EXPECT_EQ(chip.bytes()[16383], 0x00);
  EXPECT_EQ(chip.bytes()[16384], 0xFF);
}

TEST(SimLongOperation, EraseFailedPartWayHasErasedItsFirstBytes) {
  const Part* part = FindPart("MX25L4005A");
  RomChip chip(*part, std::vector<uint8_t>(part->size, 0x00), {});
  PollFault fault;
  fault.kind = LongKind::kErase;
  fault.status = -22;
  fault.at = 25;
  fault.percent = true;
  LongOperation op = LongOperation::Erase(*part, part->erase_opcode, 32768);
  PollResult r = op.Advance(1e9, &fault, &chip, nullptr);
  EXPECT_EQ(r.status, -22);
  EXPECT_TRUE(r.rom_changed);
  EXPECT_EQ(chip.bytes()[8191], 0xFF);
  EXPECT_EQ(chip.bytes()[8192], 0x00);
}

TEST(SimLongOperation, ReadFillsWhatHasBeenRead) {
  RomChip chip = Blank("W25X40BV");
  std::vector<uint8_t> buffer(32768, 0);
  LongOperation op = LongOperation::Read(chip.part(), 0, 32768);
  PollResult r = op.Advance(op.duration() / 2, nullptr, &chip, buffer.data());
  EXPECT_EQ(r.status, 1);
  EXPECT_GT(r.progress, 0u);
  EXPECT_EQ(buffer[r.progress - 1], 0xFF);
  EXPECT_EQ(buffer[r.progress], 0x00);
  r = op.Advance(op.duration(), nullptr, &chip, buffer.data());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(buffer[32767], 0xFF);
}

}  // namespace
}  // namespace sim
