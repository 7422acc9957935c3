// Firmware, configuration and EUI-64 files, and the ROM image.
#include "sim/formats.h"

#include <gtest/gtest.h>

#include "sim/demo.h"
#include "sim/image.h"
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

}  // namespace
}  // namespace sim
