// Firmware, configuration and EUI-64 files, the ROM image and recordings.
#include "sim/formats.h"

#include <gtest/gtest.h>

#include "sim/demo.h"
#include "sim/image.h"
#include "sim/recording.h"
#include "sim/replay.h"
#include "sim/status.h"

namespace sim {
namespace {

TEST(SimFirmware, RoundTrips) {
  Firmware fw = SampleFirmware(3, 100);
  std::vector<uint8_t> file = EncodeFirmware(fw);
  Firmware back;
  ASSERT_EQ(ParseFirmware(file.data(), file.size(), &back), kOk);
  EXPECT_EQ(back.revision, 3);
  EXPECT_EQ(back.code, fw.code);
  EXPECT_EQ(FormatVersion(back.version), "1.0.2.3-0.9");
}

TEST(SimFirmware, RejectsDamage) {
  std::vector<uint8_t> file = EncodeFirmware(SampleFirmware(4, 64));
  Firmware fw;
  EXPECT_EQ(ParseFirmware(file.data(), 0, &fw), kBadFirmware);
  EXPECT_EQ(ParseFirmware(file.data(), 19, &fw), kBadFirmware);
  EXPECT_EQ(ParseFirmware(file.data(), file.size() - 1, &fw), kBadFirmware);
  std::vector<uint8_t> bad = file;
  bad[0] = 'X';
  EXPECT_EQ(ParseFirmware(bad.data(), bad.size(), &fw), kBadFirmware);
  bad = file;
  bad[5] = 2;  // revision
  EXPECT_EQ(ParseFirmware(bad.data(), bad.size(), &fw), kBadFirmware);
  bad = file;
  bad.back() ^= 1;
  EXPECT_EQ(ParseFirmware(bad.data(), bad.size(), &fw), kFirmwareChecksum);
  bad = file;
  bad[12] = 0xFF;
  bad[13] = 0xFF;  // length beyond any image
  EXPECT_EQ(ParseFirmware(bad.data(), bad.size(), &fw), kFirmwareTooLarge);
}

TEST(SimVersion, ParsesTheListingForm) {
  uint8_t v[4];
  ASSERT_TRUE(ParseVersion("2.0.2.6-1.B", v));
  EXPECT_EQ(v[0], 0x0B);
  EXPECT_EQ(v[1], 0x01);
  EXPECT_EQ(v[2], 0x26);
  EXPECT_EQ(v[3], 0x20);
  EXPECT_FALSE(ParseVersion("2.0.2.6", v));
  EXPECT_FALSE(ParseVersion("10.0.2.6-1.B", v));
}

TEST(SimConfig, ParsesKeysAndRejectsTheRest) {
  Config c;
  std::string why;
  ASSERT_EQ(ParseConfig("[Config]\r\nSubsystemVendorId = 0x1106\nsubsystemid=13443\n# c\n", &c, &why), kOk);
  EXPECT_EQ(+c.subsystem_vendor_id, 0x1106);
  EXPECT_EQ(+c.subsystem_id, 13443);
  EXPECT_EQ(ParseConfig("", &c, &why), kBadConfig);
  EXPECT_EQ(ParseConfig("SubsystemVendorId = 1\nSubsystemId = 2\nColour = 3\n", &c, &why), kBadConfig);
  EXPECT_NE(why.find("Colour"), std::string::npos);
  EXPECT_EQ(ParseConfig("SubsystemVendorId = 0x10000\nSubsystemId = 2\n", &c, &why), kBadConfig);
  EXPECT_EQ(ParseConfig("SubsystemVendorId = -1\nSubsystemId = 2\n", &c, &why), kBadConfig);
  EXPECT_EQ(ParseConfig("SubsystemVendorId = 1\nSubsystemId = 2\nSubsystemId = 2\n", &c, &why), kBadConfig);
  EXPECT_EQ(ParseConfig("SubsystemVendorId 1\n", &c, &why), kBadConfig);
  EXPECT_EQ(ParseConfig("[Other]\n", &c, &why), kBadConfig);
  Config out;
  out.subsystem_vendor_id = 0xABCD;
  out.port_disable_mask = 5;
  ASSERT_EQ(ParseConfig(EncodeConfig(out), &c, &why), kOk);
  EXPECT_EQ(+c.subsystem_vendor_id, 0xABCD);
  EXPECT_EQ(c.port_disable_mask, 5);
}

TEST(SimEui64, ParsesOnlyTheDashedForm) {
  Eui64 e;
  ASSERT_EQ(ParseEui64("00-11-22-ff-FE-33-44-55\r\n", &e), kOk);
  EXPECT_EQ(e.bytes[3], 0xFF);
  EXPECT_EQ(EncodeEui64(e), "00-11-22-FF-FE-33-44-55\n");
  EXPECT_EQ(ParseEui64("", &e), kBadEui64);
  EXPECT_EQ(ParseEui64("00-11-22-FF-FE-33-44", &e), kBadEui64);
  EXPECT_EQ(ParseEui64("00:11:22:FF:FE:33:44:55", &e), kBadEui64);
  EXPECT_EQ(ParseEui64("00-11-22-FF-FE-33-44-5G", &e), kBadEui64);
  EXPECT_EQ(ParseEui64("00-11-22-FF-FE-33-44-55-66", &e), kBadEui64);
}

TEST(SimImage, BuildsAndValidates) {
  Config cfg;
  cfg.subsystem_vendor_id = 0x1234;
  cfg.subsystem_id = 0x5678;
  Eui64 eui = {{1, 2, 3, 4, 5, 6, 7, 8}};
  RomGeometry g = {0x8000, 0x100, 0x60E0};
  std::vector<uint8_t> image;
  ASSERT_EQ(BuildImage(SampleFirmware(3), &cfg, &eui, &g, 32768, &image), kOk);
  ASSERT_EQ(image.size(), 32768u);
  EXPECT_EQ(image.back(), 0xFF);
  ImageContents c;
  ASSERT_EQ(ParseImage(image.data(), 32768, &c), kOk);
  ImageInfo info;
  FillImageInfo(c, 32768, &info);
  EXPECT_EQ(info.bytes[7] >> 4, 3);
  DeviceInfo d;
  ASSERT_EQ(DecodeRom(image.data(), 32768, &d), kOk);
  EXPECT_EQ(+d.subsystem_vendor_id, 0x1234);
  EXPECT_EQ(+d.subsystem_id, 0x5678);
  EXPECT_EQ(d.eui64[7], 8);
  EXPECT_EQ(d.firmware_version[3], 0x10);
}

TEST(SimImage, ReportsEachKindOfBadContents) {
  std::vector<uint8_t> image;
  ASSERT_EQ(BuildImage(SampleFirmware(4), nullptr, nullptr, nullptr, 32768, &image), kOk);
  ImageContents c;
  DeviceInfo d;
  std::vector<uint8_t> blank(32768, 0xFF);
  EXPECT_EQ(ParseImage(blank.data(), 32768, &c), kBlank);
  EXPECT_EQ(DecodeRom(blank.data(), 32768, &d), kBlank);
  std::vector<uint8_t> zero(32768, 0x00);
  EXPECT_EQ(DecodeRom(zero.data(), 32768, &d), kBlank);
  std::vector<uint8_t> junk(32768, 0x5A);
  EXPECT_EQ(ParseImage(junk.data(), 32768, &c), kBadImage);
  EXPECT_EQ(DecodeRom(junk.data(), 32768, &d), kNoImage);
  std::vector<uint8_t> bad = image;
  bad[0x100] ^= 0x01;  // code
  EXPECT_EQ(ParseImage(bad.data(), 32768, &c), kChecksum);
  EXPECT_EQ(DecodeRom(bad.data(), 32768, &d), kChecksum);
  bad = image;
  bad[0x20] ^= 0x01;  // parameters
  EXPECT_EQ(ParseImage(bad.data(), 32768, &c), kChecksum);
  EXPECT_EQ(ParseImage(image.data(), 1024, &c), kBadImage);  // code runs past the size
  EXPECT_EQ(ParseImage(image.data(), 3, &c), kBadImage);
  // No configuration: listed as zero IDs.
  ASSERT_EQ(DecodeRom(image.data(), 32768, &d), kOk);
  EXPECT_EQ(+d.subsystem_vendor_id, 0);
}

TEST(SimImage, FirmwareTooLargeForTheGeometry) {
  RomGeometry small = {4096, 0x80, 0x62E0};
  std::vector<uint8_t> image;
  EXPECT_EQ(BuildImage(SampleFirmware(4, 8192), nullptr, nullptr, &small, 4096, &image),
            kFirmwareTooLarge);
  EXPECT_EQ(BuildImage(SampleFirmware(4, 4000), nullptr, nullptr, &small, 4096, &image), kOk);
}

TEST(SimImage, PatchAdaptsToAGeometry) {
  std::vector<uint8_t> image;
  ASSERT_EQ(BuildImage(SampleFirmware(4), nullptr, nullptr, nullptr, 32768, &image), kOk);
  RomGeometry g = {0x8000, 0x20, 0x60E0};
  ASSERT_EQ(PatchImage(image.data(), 32768, g), kOk);
  ImageContents c;
  ASSERT_EQ(ParseImage(image.data(), 32768, &c), kOk);
  EXPECT_EQ(+c.page_size, 0x20);
  EXPECT_EQ(+c.dev_code, 0x60E0);
  RomGeometry tiny = {0x100, 0x20, 0x60E0};
  EXPECT_EQ(PatchImage(image.data(), 32768, tiny), kBadImage);
  std::vector<uint8_t> blank(32768, 0xFF);
  EXPECT_EQ(PatchImage(blank.data(), 32768, g), kBlank);
}

/// A recording of lines, each sealed with its digest as the recorder does.
std::string Sealed(const std::vector<std::string>& lines) {
  RecordingWriter writer;
  std::string text = writer.Header() + "\n";
  for (const std::string& line : lines) text += writer.Sealed(line) + "\n";
  return text;
}

const char kRead[] = "call 100 PollSromRead 04:00.0 4 p = 0 4 5658524d";

TEST(SimRecording, ReadsWhatTheRecorderWrites) {
  Recording r;
  std::string error;
  std::string text = Sealed({"call 0 InitializeLibrary = 0", "file 2e 00ff", kRead});
  ASSERT_TRUE(ParseRecording(text, &r, &error)) << error;
  ASSERT_EQ(r.calls(), 2u);
  ASSERT_EQ(r.files().size(), 1u);
  EXPECT_EQ(r.files()[0].path, ".");
  EXPECT_EQ(r.Call(1).Line(), kRead);
  EXPECT_EQ(r.Call(1).micros, 100u);
  // Line ends as a Windows editor leaves them read the same.
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_TRUE(ParseRecording(crlf, &r, &error)) << error;
}

TEST(SimRecording, RefusesDamageAndWrongShapesAtLoad) {
  const std::string good = Sealed({"call 0 InitializeLibrary = 0", kRead});
  std::string flipped = good;
  flipped[flipped.find("5658") + 1] = '7';
  const std::string huge(3 << 20, 'x');
  const struct {
    std::string text;
    std::string reason;
  } bad[] = {
      {good.substr(0, good.find("5658") + 4), "line 3: damaged or cut short: its digest does not match"},
      {flipped, "line 3: damaged or cut short: its digest does not match"},
      {"vxctl-recording 2\n\n", "line 2: damaged or cut short: its digest does not match"},
      {"", "empty, not a recording"},
      {huge, "line 1: not a recording: it begins 'xxxxxxxxxxxxxxxxxxxxxxxx...'"},
      {"vxctl-recording 1\ncall 0 InitializeLibrary = 0\n", "line 1: version 1 has no digests, so damage in it cannot be found: record the run again"},
      {"vxctl-recording 3\n", "line 1: version 3 is newer than this reader's (2)"},
      {"vxctl-recording 2\n" + std::string(5 << 20, 'x'), "line 2: longer than 4 MiB, more than any line a recorder writes"},
      {Sealed({huge}), "line 2: unknown line 'xxxxxxxxxxxxxxxxxxxxxxxx...'"},
      {Sealed({"call 0 Frobnicate = 0"}), "line 2: unknown operation 'Frobnicate'"},
      {Sealed({"call 0 InitializeLibrary = x"}), "line 2: a call needs = STATUS (a 32-bit number)"},
      {Sealed({"call 0 CloseDevice = 0"}), "line 2: CloseDevice: 0 arguments given, 1 expected"},
      {Sealed({"call 0 GetSromInfo 04:00.0 = 0"}), "line 2: GetSromInfo: 0 out values given, 1 expected"},
      {Sealed({"call 0 CloseDevice 4:0.0 = 0"}), "line 2: CloseDevice argument 1 '4:0.0' is not a PCI address BB:DD.F"},
      {Sealed({"call 0 PollSromRead 04:00.0 4 p = 0 4 56585"}), "line 2: PollSromRead out value 2 '56585' is not bytes in hexadecimal or -"},
      // Payloads of another size than their call's, cut or padded before sealing.
      {Sealed({"call 0 PollSromRead 04:00.0 4 p = 0 4 565852"}), "line 2: PollSromRead out value 2 holds 3 bytes, not 4"},
      {Sealed({"call 0 PollSromRead 04:00.0 4 p = 0 4 5658524d00"}), "line 2: PollSromRead out value 2 holds 5 bytes, not 4"},
      {Sealed({"call 0 StartSromWrite 04:00.0 4 aabb 1 = 0"}), "line 2: StartSromWrite argument 3 holds 2 bytes, not 4"},
      {Sealed({"call 0 GetSromImageInfo aabbccdd 4 = 0 00"}), "line 2: GetSromImageInfo out value 1 holds 1 bytes, not 32"},
      {Sealed({"call 0 EnumerateDevices 0 0 p 2 = 0 1 0004000000000400040000000004"}), "line 2: EnumerateDevices out value 2 holds 14 bytes, not 7"},
      {Sealed({"call 0 UpdateSromImage 2e - - 0001000001000000 = 0 aa"}), "line 2: UpdateSromImage out value 1 holds 1 bytes, not 256"},
  };
  for (const auto& b : bad) {
    Recording r;
    std::string error;
    EXPECT_FALSE(ParseRecording(b.text, &r, &error)) << b.reason;
    EXPECT_EQ(error, b.reason);
    EXPECT_EQ(r.calls(), 0u) << b.reason;
  }
}

TEST(SimRecording, ReplayWaitsAreBounded) {
  const struct {
    uint64_t micros;
    double speed;
    int64_t wait;
  } cases[] = {
      {100000, 1, 100000},
      {100000, 2, 200000},
      {100000, 0, 0},
      {1000000000000000, 1, 10000000},
      {UINT64_MAX, 1e6, 10000000},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReplayWait(c.micros, c.speed).count(), c.wait) << c.micros << " " << c.speed;
}

}  // namespace
}  // namespace sim
