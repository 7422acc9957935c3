#include "device/rom_types.h"

uint32_t ImageSize(const RomGeometry& geometry) {
  return geometry.mem_size < 0x8000 ? geometry.mem_size : 0x8000;
}
