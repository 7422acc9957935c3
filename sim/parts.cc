// Part data.  Timings are typical datasheet figures for each family: chip
// erase in the 0.5-2 s range, a page program of 1.4-3 ms for 256 bytes,
// 5 ms write cycles for the EEPROM, reads at tens of MHz.
#include "sim/parts.h"

#include <ctype.h>

namespace sim {
namespace {

// Each family is modelled by the member whose storage the controller uses:
// 32 KiB, except the one 64 KiB part, which is reported whole.
const Part kParts[] = {
    {"AT25F512", "ROM type 1: 128-byte pages, chip erase 0x62", false, true, 0x8000, 128, 0x62, {0x8000, 0x80, 0x62E0}, 1.1, 0.0015, 20e6},
    {"MX25L4005A", "ROM type 2: 256-byte pages, chip erase 0x60", false, true, 0x8000, 256, 0x60, {0x8000, 0x100, 0x60E0}, 0.7, 0.0014, 33e6},
    {"W25X40BV", "ROM type 3: 256-byte pages, chip erase 0xC7", false, true, 0x8000, 256, 0xC7, {0x8000, 0x100, 0xC7E0}, 0.5, 0.0015, 50e6},
    {"MX25L5121E", "ROM type 4: 32-byte pages, chip erase 0x60", false, true, 0x8000, 32, 0x60, {0x8000, 0x20, 0x60E0}, 0.6, 0.0006, 33e6},
    {"25LC512", "ROM type 255: EEPROM, 128-byte pages, 5 ms write cycle", true, true, 0x8000, 128, 0x00, {0x8000, 0x80, 0x0080}, 0.0, 0.005, 10e6},
    {"SST25VF512A", "byte-program flash, geometry of no listed type", false, true, 0x8000, 1, 0x60, {0x8000, 0x1, 0x60E0}, 0.1, 0.00002, 20e6},
    {"M25P05", "64 KiB flash, 256-byte pages, chip erase 0xC7", false, true, 0x10000, 256, 0xC7, {0x10000, 0x100, 0xC7E0}, 2.0, 0.0014, 25e6},
    {"UNSUPPORTED", "flash whose ID the library does not know", false, false, 0x8000, 256, 0x60, {0x8000, 0x100, 0x60E0}, 1.0, 0.0015, 20e6},
};

}  // namespace

const Part* Parts(size_t* count) {
  *count = sizeof kParts / sizeof kParts[0];
  return kParts;
}

const Part* FindPart(const std::string& name) {
  for (const Part& part : kParts) {
    std::string want = part.name;
    if (want.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < want.size() && same; ++i) {
      same = toupper(static_cast<unsigned char>(want[i])) ==
             toupper(static_cast<unsigned char>(name[i]));
    }
    if (same) return &part;
  }
  return nullptr;
}

double ReadSeconds(const Part& part, uint32_t bytes) {
  // Command and address (4 bytes) once, then 8 clocks per byte.
  return (32.0 + 8.0 * bytes) / part.read_hz;
}

}  // namespace sim
