// The sixteen operations over a described machine: enumeration, faults,
// the trace, ROM access through the geometry, images and decoding.
#include "sim/library.h"

#include <gtest/gtest.h>
#include <string.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "sim/demo.h"
#include "sim/formats.h"
#include "sim/status.h"
#include "sim_test_util.h"

namespace sim {
namespace {

const RomGeometry kType1 = {0x8000, 0x80, 0x62E0};
const RomGeometry kType2 = {0x8000, 0x100, 0x60E0};
const RomGeometry kType3 = {0x8000, 0x100, 0xC7E0};

class SimLibraryTest : public ::testing::Test {
 protected:
  void Describe(const std::string& body) {
    dir_ = FreshDirectory();
    WriteFile(dir_ + "machine.txt", "speed 0\ntrace trace.log\n" + body);
  }
  LibraryStatus Init() { return lib_.InitializeFrom(dir_ + "machine.txt"); }
  std::string Trace() { return ReadText(dir_ + "trace.log"); }
  std::vector<uint8_t> Rom(const char* name) { return ReadBytes(dir_ + name); }

  // Runs a write or erase to completion; returns the final poll status.
  LibraryStatus Finish(PciAddress a) {
    uint32_t progress = 0;
    LibraryStatus s;
    while ((s = lib_.PollSromProgress(a, &progress)) == 1) {
    }
    return s;
  }
  LibraryStatus ReadAll(PciAddress a, std::vector<uint8_t>* out) {
    out->assign(32768, 0);
    LibraryStatus s = lib_.StartSromRead(a, 0, 32768, 0, nullptr, 1);
    if (s != 0) return s;
    uint32_t progress = 0;
    while ((s = lib_.PollSromRead(a, 32768, out->data(), &progress)) == 1) {
    }
    return s;
  }
  std::vector<uint8_t> SampleImage(const RomGeometry* g) {
    Config cfg;
    cfg.subsystem_vendor_id = 0x1234;
    cfg.subsystem_id = 0x5678;
    WriteFile(dir_ + "fw.mem", "");
    std::vector<uint8_t> mem = EncodeFirmware(SampleFirmware(4));
    EXPECT_TRUE(platform::ReplaceFileAtomically(dir_ + "fw.mem", mem.data(), mem.size()));
    WriteFile(dir_ + "cfg.ini", EncodeConfig(cfg));
    std::vector<uint8_t> image(32768);
    EXPECT_EQ(lib_.UpdateSromImage(Wide(dir_ + "fw.mem").c_str(), Wide(dir_ + "cfg.ini").c_str(),
                                   nullptr, g, image.data()),
              0);
    return image;
  }

  std::string dir_;
  Library lib_;
};

TEST_F(SimLibraryTest, EnumeratesInDescriptionOrderAndTraces) {
  Describe(
      "controller 05:00.0 revision 3 part AT25F512 rom a.bin\n"
      "controller 04:00.0 revision 4 part MX25L4005A rom b.bin\n");
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Rom("a.bin"), std::vector<uint8_t>(32768, 0xFF));
  uint32_t count = 0;
  EXPECT_EQ(lib_.EnumerateDevices(0, 0, nullptr, 0, &count), 0);
  EXPECT_EQ(count, 2u);
  DeviceRecord records[2];
  EXPECT_EQ(lib_.EnumerateDevices(0, 0, records, 2, &count), 0);
  EXPECT_EQ(+records[0].address, 0x0500);
  EXPECT_EQ(+records[0].chip_revision, 3);
  EXPECT_EQ(+records[1].address, 0x0400);
  EXPECT_EQ(lib_.TerminateLibrary(), 0);
  EXPECT_EQ(Trace(),
            "InitializeLibrary() = 0\n"
            "EnumerateDevices(0, 0, null, 0) = 0 2\n"
            "EnumerateDevices(0, 0, array, 2) = 0 2 {05:00.0 rev 3, 04:00.0 rev 4}\n"
            "TerminateLibrary() = 0\n");
}

TEST_F(SimLibraryTest, CountChangesBetweenQueryAndFill) {
  Describe(
      "enumerate counts 1 2\n"
      "controller 04:00.0 revision 4 part MX25L4005A rom a.bin\n"
      "controller 05:00.0 revision 4 part MX25L4005A rom b.bin\n");
  ASSERT_EQ(Init(), 0);
  uint32_t count = 0;
  DeviceRecord records[2];
  EXPECT_EQ(lib_.EnumerateDevices(0, 0, nullptr, 0, &count), 0);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(lib_.EnumerateDevices(0, 0, records, 1, &count), 0);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(lib_.EnumerateDevices(0, 0, records, 2, &count), 0);
  EXPECT_EQ(+records[1].address, 0x0500);
}

TEST_F(SimLibraryTest, FaultsLibraryWideAndPerController) {
  Describe(
      "fault InitializeLibrary -12 call 2\n"
      "fault EnumerateDevices -11 call 2\n"
      "controller 04:00.0 revision 4 part MX25L4005A rom a.bin\n"
      "fault GetSromInfo -55\n"
      "fault OpenDevice -14 call 2\n"
      "controller 05:00.0 revision 4 part MX25L4005A rom b.bin\n");
  ASSERT_EQ(Init(), 0);
  uint32_t count;
  EXPECT_EQ(lib_.EnumerateDevices(0, 0, nullptr, 0, &count), 0);
  EXPECT_EQ(lib_.EnumerateDevices(0, 0, nullptr, 0, &count), -11);
  EXPECT_EQ(lib_.EnumerateDevices(0, 0, nullptr, 0, &count), 0);
  RomGeometry g;
  EXPECT_EQ(lib_.OpenDevice(0x0400, 2, nullptr), 0);
  EXPECT_EQ(lib_.GetSromInfo(0x0400, &g), -55);
  EXPECT_EQ(lib_.CloseDevice(0x0400), 0);
  EXPECT_EQ(lib_.OpenDevice(0x0400, 2, nullptr), -14);
  EXPECT_EQ(lib_.OpenDevice(0x0500, 2, nullptr), 0);
  EXPECT_EQ(lib_.GetSromInfo(0x0500, &g), 0);
  EXPECT_NE(Trace().find("OpenDevice(04:00.0, 2, null) = -14\n"), std::string::npos);
  EXPECT_NE(Trace().find("GetSromInfo(05:00.0) = 0 {0x8000, 0x100, 0x60E0}\n"), std::string::npos);
}

TEST_F(SimLibraryTest, InitializeFaultAndBadDescriptions) {
  Describe("fault InitializeLibrary -12\n");
  EXPECT_EQ(Init(), -12);
  uint32_t count;
  EXPECT_EQ(lib_.EnumerateDevices(0, 0, nullptr, 0, &count), kNotInitialized);
  Describe("nonsense here\n");
  EXPECT_EQ(Init(), kBadMachine);
  EXPECT_EQ(lib_.InitializeFrom(dir_ + "missing.txt"), kNoMachine);
  Describe("controller 04:00.0 revision 4 part MX25L4005A rom a.bin\n");
  WriteFile(dir_ + "a.bin", "short");
  EXPECT_EQ(Init(), kBadRomFile);
}

// A trace target that is not a plain file is left out, never waited on:
// the calls go on as without a trace.
TEST_F(SimLibraryTest, TraceIntoAFolderIsLeftOut) {
  Describe("");
  ASSERT_TRUE(platform::MakeDirectories(dir_ + "trace.log"));
  ASSERT_EQ(Init(), 0);
  uint32_t count;
  EXPECT_EQ(lib_.EnumerateDevices(0, 0, nullptr, 0, &count), 0);
  EXPECT_EQ(lib_.TerminateLibrary(), 0);
}

// A FIFO without a reader held every traced call for ever.
TEST_F(SimLibraryTest, TraceIntoAFifoIsLeftOut) {
#ifdef _WIN32
  GTEST_SKIP() << "no FIFOs in the file system";
#else
  Describe("");
  ASSERT_EQ(mkfifo((dir_ + "trace.log").c_str(), 0600), 0);
  ASSERT_EQ(Init(), 0);
  uint32_t count;
  EXPECT_EQ(lib_.EnumerateDevices(0, 0, nullptr, 0, &count), 0);
  EXPECT_EQ(lib_.TerminateLibrary(), 0);
#endif
}

TEST_F(SimLibraryTest, RightTypeWritesAndVerifies) {
  Describe("controller 04:00.0 revision 4 part W25X40BV rom a.bin\n");
  ASSERT_EQ(Init(), 0);
  std::vector<uint8_t> image = SampleImage(&kType3);
  ASSERT_EQ(lib_.OpenDevice(0x0400, 2, &kType3), 0);
  ASSERT_EQ(lib_.StartSromErase(0x0400, 1), 0);
  EXPECT_EQ(Finish(0x0400), 0);
  ASSERT_EQ(lib_.StartSromWrite(0x0400, 32768, image.data(), 1), 0);
  EXPECT_EQ(Finish(0x0400), 0);
  std::vector<uint8_t> back;
  EXPECT_EQ(ReadAll(0x0400, &back), 0);
  EXPECT_EQ(back, image);
  EXPECT_EQ(Rom("a.bin"), image);
  DeviceInfo info;
  ASSERT_EQ(lib_.GetDeviceInfo(0x0400, &info), 0);
  EXPECT_EQ(+info.subsystem_vendor_id, 0x1234);
  EXPECT_EQ(info.firmware_version[0], 0x0B);
  ImageInfo ii;
  ASSERT_EQ(lib_.GetSromImageInfo(image.data(), 32768, &ii), 0);
  EXPECT_EQ(ii.bytes[7] >> 4, 4);
}

TEST_F(SimLibraryTest, WrongTypeDoesRealDamage) {
  // Type 2 erases with 0x60, which the W25X40BV ignores: the second write
  // over old contents ANDs and verification would catch it.
  Describe("controller 04:00.0 revision 4 part W25X40BV rom a.bin\n");
  ASSERT_EQ(Init(), 0);
  std::vector<uint8_t> image = SampleImage(&kType2);
  std::vector<uint8_t> other(32768, 0x0F);
  ASSERT_EQ(lib_.OpenDevice(0x0400, 2, &kType2), 0);
  ASSERT_EQ(lib_.StartSromWrite(0x0400, 32768, other.data(), 1), 0);
  EXPECT_EQ(Finish(0x0400), 0);
  ASSERT_EQ(lib_.StartSromErase(0x0400, 1), 0);
  EXPECT_EQ(Finish(0x0400), 0);
  ASSERT_EQ(lib_.StartSromWrite(0x0400, 32768, image.data(), 1), 0);
  EXPECT_EQ(Finish(0x0400), 0);
  std::vector<uint8_t> back;
  EXPECT_EQ(ReadAll(0x0400, &back), 0);
  EXPECT_NE(back, image);
  EXPECT_EQ(back[0], image[0] & 0x0F);
}

TEST_F(SimLibraryTest, TooLargePageWrapsInsideTheTruePage) {
  Describe("controller 04:00.0 revision 4 part MX25L5121E rom a.bin\n");
  ASSERT_EQ(Init(), 0);
  std::vector<uint8_t> image = SampleImage(&kType2);
  ASSERT_EQ(lib_.OpenDevice(0x0400, 2, &kType2), 0);
  ASSERT_EQ(lib_.StartSromWrite(0x0400, 32768, image.data(), 1), 0);
  EXPECT_EQ(Finish(0x0400), 0);
  std::vector<uint8_t> back;
  EXPECT_EQ(ReadAll(0x0400, &back), 0);
  EXPECT_NE(back, image);
  EXPECT_EQ(back[32], 0xFF);  // only the first 32 bytes of each 256 were reached
}

TEST_F(SimLibraryTest, EepromNeedsNoErase) {
  Describe("controller 04:00.0 revision 4 part 25LC512 rom a.bin\n");
  ASSERT_EQ(Init(), 0);
  const RomGeometry type255 = {0x8000, 0x80, 0x0080};
  std::vector<uint8_t> image = SampleImage(&type255);
  std::vector<uint8_t> zeros(32768, 0);
  ASSERT_EQ(lib_.OpenDevice(0x0400, 2, &type255), 0);
  ASSERT_EQ(lib_.StartSromWrite(0x0400, 32768, zeros.data(), 1), 0);
  EXPECT_EQ(Finish(0x0400), 0);
  ASSERT_EQ(lib_.StartSromWrite(0x0400, 32768, image.data(), 1), 0);
  EXPECT_EQ(Finish(0x0400), 0);
  std::vector<uint8_t> back;
  EXPECT_EQ(ReadAll(0x0400, &back), 0);
  EXPECT_EQ(back, image);
  RomGeometry g;
  EXPECT_EQ(lib_.GetSromInfo(0x0400, &g), 0);
  EXPECT_EQ(memcmp(&g, &type255, 8), 0);
}

TEST_F(SimLibraryTest, StuckByteBreaksVerification) {
  Describe(
      "controller 04:00.0 revision 4 part AT25F512 rom a.bin\n"
      "stuck 0x200 0x00\n");
  ASSERT_EQ(Init(), 0);
  std::vector<uint8_t> image = SampleImage(&kType1);
  ASSERT_EQ(lib_.OpenDevice(0x0400, 2, &kType1), 0);
  ASSERT_EQ(lib_.StartSromErase(0x0400, 1), 0);
  EXPECT_EQ(Finish(0x0400), 0);
  ASSERT_EQ(lib_.StartSromWrite(0x0400, 32768, image.data(), 1), 0);
  EXPECT_EQ(Finish(0x0400), 0);
  std::vector<uint8_t> back;
  EXPECT_EQ(ReadAll(0x0400, &back), 0);
  EXPECT_EQ(back[0x200], 0);
  EXPECT_NE(back, image);
  DeviceInfo info;
  EXPECT_EQ(lib_.GetDeviceInfo(0x0400, &info), kChecksum);
}

TEST_F(SimLibraryTest, PollFaultKeepsTheWorkDone) {
  Describe(
      "controller 04:00.0 revision 4 part MX25L4005A rom a.bin\n"
      "poll-fault write -22 at 4096\n"
      "poll-fault read -21 at 0\n");
  ASSERT_EQ(Init(), 0);
  std::vector<uint8_t> zeros(32768, 0);
  ASSERT_EQ(lib_.OpenDevice(0x0400, 2, &kType2), 0);
  ASSERT_EQ(lib_.StartSromWrite(0x0400, 32768, zeros.data(), 1), 0);
  uint32_t progress = 0;
  EXPECT_EQ(lib_.PollSromProgress(0x0400, &progress), -22);
  EXPECT_EQ(progress, 4096u);
  std::vector<uint8_t> rom = Rom("a.bin");
  EXPECT_EQ(rom[4095], 0);
  EXPECT_EQ(rom[4096], 0xFF);
  std::vector<uint8_t> back;
  EXPECT_EQ(ReadAll(0x0400, &back), -21);
  EXPECT_NE(Trace().find("PollSromProgress(04:00.0) = -22 4096\n"), std::string::npos);
}

TEST_F(SimLibraryTest, PollsReportRunningUntilTheOperationEnds) {
  Describe("controller 04:00.0 revision 4 part AT25F512 rom a.bin\npause erase until go\n");
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(lib_.OpenDevice(0x0400, 2, &kType1), 0);
  ASSERT_EQ(lib_.StartSromErase(0x0400, 1), 0);
  uint32_t progress = 99;
  EXPECT_EQ(lib_.PollSromProgress(0x0400, &progress), 1);
  EXPECT_LT(progress, 32768u);
  EXPECT_EQ(lib_.StartSromWrite(0x0400, 32768, std::vector<uint8_t>(32768).data(), 1), kOperationActive);
  WriteFile(dir_ + "go", "");
  EXPECT_EQ(Finish(0x0400), 0);
}

TEST_F(SimLibraryTest, DetectionUnsupportedAndSizes) {
  Describe(
      "controller 04:00.0 revision 4 part M25P05 rom a.bin\n"
      "controller 05:00.0 revision 4 part UNSUPPORTED rom b.bin\n");
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Rom("a.bin").size(), 65536u);
  RomGeometry g;
  RomGeometry zero = {0, 0, 0};
  ASSERT_EQ(lib_.OpenDevice(0x0400, 2, &zero), 0);
  ASSERT_EQ(lib_.GetSromInfo(0x0400, &g), 0);
  EXPECT_EQ(+g.mem_size, 0x10000u);
  ASSERT_EQ(lib_.OpenDevice(0x0500, 2, nullptr), 0);
  EXPECT_EQ(lib_.GetSromInfo(0x0500, &g), kUnsupportedRom);
  DeviceInfo info;
  EXPECT_EQ(lib_.GetDeviceInfo(0x0500, &info), kBlank);
  EXPECT_EQ(lib_.OpenDevice(0x0600, 2, nullptr), kNoDevice);
  EXPECT_EQ(lib_.GetSromInfo(0x0600, &g), kNoDevice);
  EXPECT_EQ(lib_.CloseDevice(0x0600), kNoDevice);
}

TEST_F(SimLibraryTest, NotOpenAndBadArguments) {
  Describe("controller 04:00.0 revision 4 part MX25L4005A rom a.bin\n");
  ASSERT_EQ(Init(), 0);
  RomGeometry g;
  EXPECT_EQ(lib_.GetSromInfo(0x0400, &g), kNotOpen);
  EXPECT_EQ(lib_.CloseDevice(0x0400), 0);
  EXPECT_EQ(lib_.OpenDevice(0x0400, 3, nullptr), kBadArgument);
  ASSERT_EQ(lib_.OpenDevice(0x0400, 2, nullptr), 0);
  EXPECT_EQ(lib_.GetSromInfo(0x0400, nullptr), kBadArgument);
  EXPECT_EQ(lib_.StartSromRead(0x0400, 0, 65536, 0, nullptr, 1), kOutOfRange);
  EXPECT_EQ(lib_.StartSromWrite(0x0400, 32768, nullptr, 1), kBadArgument);
  uint32_t progress;
  EXPECT_EQ(lib_.PollSromProgress(0x0400, &progress), kOperationActive);
  uint8_t image[32768] = {};
  ImageInfo info;
  EXPECT_EQ(lib_.GetSromImageInfo(image, 32768, &info), kBadImage);
}

TEST_F(SimLibraryTest, ImageFilesAndStatuses) {
  Describe("");
  ASSERT_EQ(Init(), 0);
  std::vector<uint8_t> image(32768);
  std::vector<uint8_t> good = SampleImage(nullptr);
  std::wstring fw = Wide(dir_ + "fw.mem"), cfg = Wide(dir_ + "cfg.ini");
  std::wstring missing = Wide(dir_ + "missing");
  WriteFile(dir_ + "bad.ini", "Colour = 1\n");
  WriteFile(dir_ + "bad.eui", "00-11\n");
  WriteFile(dir_ + "empty.mem", "");
  std::wstring bad_ini = Wide(dir_ + "bad.ini"), bad_eui = Wide(dir_ + "bad.eui");
  std::wstring empty = Wide(dir_ + "empty.mem");
  EXPECT_EQ(lib_.MakeSromImage(missing.c_str(), cfg.c_str(), nullptr, nullptr, image.data()), kFileAccess);
  EXPECT_EQ(lib_.MakeSromImage(empty.c_str(), cfg.c_str(), nullptr, nullptr, image.data()), kBadFirmware);
  EXPECT_EQ(lib_.MakeSromImage(fw.c_str(), bad_ini.c_str(), nullptr, nullptr, image.data()), kBadConfig);
  EXPECT_EQ(lib_.MakeSromImage(fw.c_str(), cfg.c_str(), bad_eui.c_str(), nullptr, image.data()), kBadEui64);
  EXPECT_EQ(lib_.MakeSromImage(fw.c_str(), cfg.c_str(), missing.c_str(), nullptr, image.data()), kFileAccess);
  EXPECT_EQ(lib_.MakeSromImage(fw.c_str(), nullptr, nullptr, nullptr, image.data()), kBadArgument);
  RomGeometry small = {1024, 0x80, 0x62E0};
  EXPECT_EQ(lib_.MakeSromImage(fw.c_str(), cfg.c_str(), nullptr, &small, image.data()), kFirmwareTooLarge);
  EXPECT_EQ(lib_.MakeSromImage(fw.c_str(), cfg.c_str(), nullptr, nullptr, image.data()), 0);
  EXPECT_EQ(image, good);
  EXPECT_EQ(lib_.PatchSromImage(image.data(), 32768, 0, 0, nullptr, &kType3, nullptr, 4), 0);
  ImageInfo info;
  EXPECT_EQ(lib_.GetSromImageInfo(image.data(), 32768, &info), 0);
  EXPECT_EQ(info.bytes[7], 0x41);
  EXPECT_NE(Trace().find("PatchSromImage(buffer, 32768, 0, 0, null, {0x8000, 0x100, 0xC7E0}, null, 4) = 0\n"),
            std::string::npos);
  EXPECT_NE(Trace().find("GetSromImageInfo(buffer, 32768) = 0 0x41\n"), std::string::npos);
}

}  // namespace
}  // namespace sim
