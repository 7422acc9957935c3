// libFuzzer target: the ROM image reader, its decoder and the patcher.
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "sim/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxImageSize) return 0;
  std::vector<uint8_t> image(data, data + size);
  uint32_t n = static_cast<uint32_t>(size);
  sim::ImageContents contents;
  if (sim::ParseImage(image.data(), n, &contents) == 0) {
    ImageInfo info;
    sim::FillImageInfo(contents, n, &info);
  }
  DeviceInfo device;
  sim::DecodeRom(image.data(), n, &device);
  RomGeometry geometry = {0x8000, 0x100, 0xC7E0};
  sim::PatchImage(image.data(), n, geometry);
  return 0;
}
