// Target selection, listing, write to all and restore, in process against
// the fake library and a clock that costs no time.
#include "rom/actions.h"

#include <gtest/gtest.h>

#include "device/listing.h"
#include "device/session.h"
#include "device/target.h"
#include "rom/job.h"
#include "unit/fake_host.h"
#include "unit/fake_library.h"
#include "vxrom/restore.h"

using namespace device;
using namespace rom;

namespace {

/// A session over the fake library, with controllers at these addresses
/// and chip revisions.
struct Bench {
  explicit Bench(std::vector<std::pair<PciAddress, uint8_t>> boards,
                 uint32_t selector = 2) {
    Machine() = FakeMachine();
    Clock() = FakeClock();
    for (auto board : boards) {
      FakeController c;
      c.address = board.first;
      c.chip_revision = board.second;
      Machine().controllers.push_back(c);
    }
    session.library = &FakeLibrary();
    session.host = &FakeHost();
    session.rom_type_selector = selector;
  }
  FakeController& board(size_t i) { return Machine().controllers.at(i); }

  RecordingReporter reporter;
  DeviceSession session{&reporter};
  RomJob job{session};
};

TEST(OpenTarget, ChoosesChecksAndTellsWhy) {
  const struct {
    std::vector<std::pair<PciAddress, uint8_t>> boards;
    PciAddress named;  ///< kNoAddress: none named.
    uint8_t image_revision;
    bool check_revision;
    int result;
    const char* told;  ///< The last fact told.
  } cases[] = {
      {{{0x0400, 4}}, kNoAddress, NO_REVISION, true, 0, "TargetChosen"},
      {{}, kNoAddress, NO_REVISION, true, -6, "NoController"},
      {{{0x0400, 4}, {0x0500, 4}}, kNoAddress, 4, true, -6, "SeveralControllers"},
      {{{0x0400, 4}, {0x0500, 3}}, 0x0500, 3, true, 0, "TargetChosen"},
      {{{0x0400, 4}}, 0x0700, 4, true, -6, "AddressNotFound"},
      {{{0x0400, 3}}, kNoAddress, 4, true, -16, "RevisionMismatch"},
      {{{0x0400, 3}}, kNoAddress, 4, false, 0, "TargetChosen"},
      {{{0x0400, 7}}, kNoAddress, NO_REVISION, true, -16, "UnsupportedChip"},
  };
  for (const auto& c : cases) {
    Bench bench(c.boards);
    bench.session.has_target_address = c.named != kNoAddress;
    bench.session.target_address = c.named;
    bench.session.check_revision = c.check_revision;
    EXPECT_EQ(c.result, OpenTarget(bench.session, c.image_revision));
    ASSERT_FALSE(bench.reporter.told.empty());
    EXPECT_EQ(c.told, bench.reporter.told.back());
    if (c.result == 0) {
      EXPECT_EQ(c.named == kNoAddress ? 0x0400 : c.named,
                bench.session.devices.open_address);
      EXPECT_EQ(1, Machine().open_now);
      CloseSelected(bench.session);
    }
    EXPECT_EQ(0, Machine().open_now);
  }
}

TEST(ListControllers, EachRomAsItStandsAndOneOpenAtATime) {
  Bench bench({{0x0400, 4}, {0x0500, 4}, {0x0600, 4}, {0x0700, 9}});
  bench.board(1).info_status = kStatusBlank;
  bench.board(2).open_status = kStatusBusy;
  std::vector<ControllerReport> reports;
  EXPECT_EQ(-1, ListControllers(bench.session, &reports));
  ASSERT_EQ(4u, reports.size());
  EXPECT_EQ(RomContents::kImage, reports[0].contents);
  EXPECT_EQ(RomContents::kBlank, reports[1].contents);
  EXPECT_EQ(ListingFailure::kNone, reports[1].failure);
  EXPECT_EQ(ListingFailure::kOpen, reports[2].failure);
  EXPECT_FALSE(reports[3].rom_read);
  EXPECT_EQ(1u, bench.reporter.Count("ListedUnsupportedNote"));
  EXPECT_EQ(1, Machine().most_open);
  EXPECT_EQ(0, Machine().open_now);
}

TEST(WriteAll, EveryMatchingBoardTheFirstFailureTheResult) {
  Bench bench({{0x0400, 4}, {0x0500, 3}, {0x0600, 4}, {0x0700, 4}});
  bench.board(2).bad_write = true;
  bench.job.firmware_path = L"fw-rev4.mem";
  EXPECT_EQ(-8, WriteAllAction(bench.job));
  const std::vector<uint8_t> image = FakeImage(L"fw-rev4.mem", 0x8000);
  EXPECT_EQ(image, bench.board(0).rom);
  EXPECT_EQ(std::vector<uint8_t>(0x8000, 0xFF), bench.board(1).rom);
  EXPECT_NE(image, bench.board(2).rom);
  EXPECT_EQ(image, bench.board(3).rom);
  EXPECT_EQ(0x0600, bench.session.devices.open_address);  // the run log's
  ASSERT_EQ("WriteAllSummary", bench.reporter.told.back());
  const WriteTally& tally = bench.reporter.tally;
  EXPECT_EQ(2u, tally.verified);
  EXPECT_EQ(1u, tally.failed);
  EXPECT_EQ(1u, tally.passed_over);
  // Each board: erase, write and read back, two polls each.
  EXPECT_EQ(3u * 3u * 2u * 100u, Clock().waited_ms);
}

TEST(WriteAll, AStopFinishesTheBoardAndTakesUpNoOther) {
  Bench bench({{0x0400, 4}, {0x0500, 4}, {0x0600, 4}});
  bench.job.firmware_path = L"fw-rev4.mem";
  Clock().stop_after = 3;  // during the first board's write
  EXPECT_EQ(-1, WriteAllAction(bench.job));
  EXPECT_EQ(FakeImage(L"fw-rev4.mem", 0x8000), bench.board(0).rom);
  EXPECT_EQ(std::vector<uint8_t>(0x8000, 0xFF), bench.board(1).rom);
  EXPECT_EQ(1u, bench.reporter.Count("StopHeld"));
  ASSERT_EQ("WriteAllSummary", bench.reporter.told.back());
  EXPECT_EQ(2u, bench.reporter.tally.untouched);
  EXPECT_EQ(1u, bench.reporter.tally.verified);
}

TEST(Restore, RefusesAWrongImageBeforeTheRomChanges) {
  const struct {
    std::vector<uint8_t> image;
    bool check_revision;
    int result;
  } cases[] = {
      {FakeImage(L"rev4", 0x8000), true, 0},
      {FakeImage(L"rev4", 0x4000), true, -15},
      {FakeImage(L"rev3", 0x8000), true, -16},
      {FakeImage(L"rev3", 0x8000), false, 0},
  };
  for (auto c : cases) {
    Bench bench({{0x0400, 4}}, 0);
    bench.session.check_revision = c.check_revision;
    bench.job.image_path = L"image.bin";
    EXPECT_EQ(c.result, RestoreCommand(bench.job, c.image, false));
    EXPECT_EQ(c.result == 0 ? c.image : std::vector<uint8_t>(0x8000, 0xFF),
              bench.board(0).rom);
    EXPECT_EQ(0, Machine().open_now);
  }
}

}  // namespace
