#include "sim/image.h"

#include <string.h>

#include <algorithm>

#include "sim/status.h"

namespace sim {
namespace {

const uint8_t kImageMagic[4] = {'V', 'X', 'R', 'M'};
const uint8_t kLayoutVersion = 1;
const uint8_t kHasConfig = 0x01;
const uint8_t kHasEui64 = 0x02;

uint32_t Get32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
         uint32_t{p[3]} << 24;
}
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

bool AllBytes(const uint8_t* data, uint32_t size, uint8_t value) {
  for (uint32_t i = 0; i < size; ++i) {
    if (data[i] != value) return false;
  }
  return true;
}

void SealHeader(uint8_t* image) { Put32(image + 0x1C, Crc32(image, 0x1C)); }

}  // namespace

uint32_t ImageSizeFor(const RomGeometry* geometry) { return ImageSize(geometry); }

LibraryStatus BuildImage(const Firmware& firmware, const Config* config,
                         const Eui64* eui64, const RomGeometry* geometry,
                         uint32_t size, std::vector<uint8_t>* image) {
  const uint32_t length = static_cast<uint32_t>(firmware.code.size());
  if (size < kImageCodeOffset || length > size - kImageCodeOffset) return kFirmwareTooLarge;
  image->assign(size, 0xFF);
  uint8_t* p = image->data();
  memset(p, 0, kImageCodeOffset);
  memcpy(p, kImageMagic, 4);
  p[4] = kLayoutVersion;
  p[5] = firmware.revision;
  p[6] = static_cast<uint8_t>((config ? kHasConfig : 0) | (eui64 ? kHasEui64 : 0));
  memcpy(p + 8, firmware.version, 4);
  Put32(p + 0x0C, length);
  if (geometry) {
    Put16(p + 0x10, geometry->page_size);
    Put16(p + 0x12, geometry->dev_code);
  }
  Put32(p + 0x14, Crc32(firmware.code.data(), length));
  SealHeader(p);
  if (config) {
    Put16(p + 0x20, config->subsystem_vendor_id);
    Put16(p + 0x22, config->subsystem_id);
    p[0x24] = config->port_disable_mask;
    p[0x25] = config->overcurrent_mode;
  }
  if (eui64) memcpy(p + 0x28, eui64->bytes, 8);
  Put32(p + 0x3C, Crc32(p + 0x20, 0x1C));
  memcpy(p + kImageCodeOffset, firmware.code.data(), length);
  return kOk;
}

LibraryStatus ParseImage(const uint8_t* image, uint32_t size, ImageContents* contents) {
  if (AllBytes(image, size, 0xFF)) return kBlank;
  if (size < kImageCodeOffset || memcmp(image, kImageMagic, 4) != 0) return kBadImage;
  if (Get32(image + 0x1C) != Crc32(image, 0x1C)) return kChecksum;
  const uint32_t length = Get32(image + 0x0C);
  if (image[4] != kLayoutVersion || (image[5] != 3 && image[5] != 4) ||
      (image[6] & ~(kHasConfig | kHasEui64)) != 0 || length == 0 ||
      length > size - kImageCodeOffset) {
    return kBadImage;
  }
  if (Get32(image + 0x3C) != Crc32(image + 0x20, 0x1C)) return kChecksum;
  if (Get32(image + 0x14) != Crc32(image + kImageCodeOffset, length)) return kChecksum;
  ImageContents c;
  c.firmware.revision = image[5];
  memcpy(c.firmware.version, image + 8, 4);
  c.firmware.code.assign(image + kImageCodeOffset, image + kImageCodeOffset + length);
  c.has_config = (image[6] & kHasConfig) != 0;
  c.has_eui64 = (image[6] & kHasEui64) != 0;
  c.config.subsystem_vendor_id = Get16(image + 0x20);
  c.config.subsystem_id = Get16(image + 0x22);
  c.config.port_disable_mask = image[0x24];
  c.config.overcurrent_mode = image[0x25];
  memcpy(c.eui64.bytes, image + 0x28, 8);
  c.page_size = Get16(image + 0x10);
  c.dev_code = Get16(image + 0x12);
  *contents = c;
  return kOk;
}

void FillImageInfo(const ImageContents& c, uint32_t size, ImageInfo* info) {
  uint8_t* b = info->bytes;
  memset(b, 0, sizeof info->bytes);
  memcpy(b, c.firmware.version, 4);
  Put16(b + 4, c.config.subsystem_vendor_id);
  b[6] = static_cast<uint8_t>((c.has_config ? kHasConfig : 0) | (c.has_eui64 ? kHasEui64 : 0));
  b[7] = static_cast<uint8_t>(c.firmware.revision << 4 | kLayoutVersion);
  memcpy(b + 8, c.eui64.bytes, 8);
  Put32(b + 16, static_cast<uint32_t>(c.firmware.code.size()));
  Put32(b + 20, size);
  Put16(b + 24, c.page_size);
  Put16(b + 26, c.dev_code);
  Put16(b + 28, c.config.subsystem_id);
}

LibraryStatus PatchImage(uint8_t* image, uint32_t size, const RomGeometry& geometry) {
  ImageContents c;
  LibraryStatus status = ParseImage(image, size, &c);
  if (status != kOk) return status;
  if (geometry.mem_size < kImageCodeOffset + c.firmware.code.size()) return kBadImage;
  Put16(image + 0x10, geometry.page_size);
  Put16(image + 0x12, geometry.dev_code);
  SealHeader(image);
  return kOk;
}

LibraryStatus DecodeRom(const uint8_t* rom, uint32_t size, DeviceInfo* info) {
  memset(info, 0, sizeof *info);
  if (AllBytes(rom, size, 0xFF) || AllBytes(rom, size, 0x00)) return kBlank;
  ImageContents c;
  LibraryStatus status = ParseImage(rom, size, &c);
  if (status == kChecksum) return kChecksum;
  if (status != kOk) return kNoImage;
  if (c.has_config) {
    info->subsystem_vendor_id = c.config.subsystem_vendor_id;
    info->subsystem_id = c.config.subsystem_id;
  }
  memcpy(info->firmware_version, c.firmware.version, 4);
  if (c.has_eui64) memcpy(info->eui64, c.eui64.bytes, 8);
  return kOk;
}

}  // namespace sim
