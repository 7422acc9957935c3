// The ROM image: a header, the configuration and EUI-64 block, the
// firmware code and padding, with checksums.  Layout in docs/formats.md.
#ifndef VXSROM_SIM_IMAGE_H_
#define VXSROM_SIM_IMAGE_H_

#include <stdint.h>

#include <vector>

#include "device/controller_library.h"
#include "sim/formats.h"

namespace sim {

/// Where the firmware code starts.
const uint32_t kImageCodeOffset = 0x40;

/// What a valid image holds.
struct ImageContents {
  Firmware firmware;  ///< Revision, version and code.
  bool has_config = false;
  bool has_eui64 = false;
  Config config;
  Eui64 eui64;
  uint16_t page_size = 0;  ///< Geometry the image is laid out for.
  uint16_t dev_code = 0;
};

/// Image size for a geometry: min(MemSize, 32 KiB); 32 KiB for none.
uint32_t ImageSizeFor(const RomGeometry* geometry);

/// Builds the image of size bytes into *image.  @return 0 or -45 when the
/// firmware does not fit.
LibraryStatus BuildImage(const Firmware& firmware, const Config* config,
                         const Eui64* eui64, const RomGeometry* geometry,
                         uint32_t size, std::vector<uint8_t>* image);

/// Validates an image of size bytes.  @return 0, -51 (blank: all 0xFF),
/// -54 (no image signature, bad layout, larger than size) or -53 (a
/// checksum fails).
LibraryStatus ParseImage(const uint8_t* image, uint32_t size, ImageContents* contents);

/// The ImageInfo record of valid contents.
void FillImageInfo(const ImageContents& contents, uint32_t size, ImageInfo* info);

/// Rewrites the geometry fields and the header checksum of a valid image.
/// @return 0 or ParseImage's status.
LibraryStatus PatchImage(uint8_t* image, uint32_t size, const RomGeometry& geometry);

/// Decodes ROM contents for GetDeviceInfo: -51 blank (all 0xFF or all
/// 0x00), -52 not an image, -53 image with a failing checksum.
LibraryStatus DecodeRom(const uint8_t* rom, uint32_t size, DeviceInfo* info);

}  // namespace sim

#endif  // VXSROM_SIM_IMAGE_H_
