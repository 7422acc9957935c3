#include "sim/rom_chip.h"

#include <algorithm>
#include <utility>

namespace sim {

RomChip::RomChip(const Part& part, std::vector<uint8_t> bytes,
                 std::vector<StuckByte> stuck)
    : part_(&part), bytes_(std::move(bytes)), stuck_(std::move(stuck)) {
  bytes_.resize(part.size, 0xFF);
  ApplyStuck();
}

bool RomChip::Erase(uint8_t opcode, uint32_t length) {
  if (part_->erase_opcode == 0 || opcode != part_->erase_opcode || length == 0) return false;
  std::fill_n(bytes_.begin(), std::min<size_t>(length, bytes_.size()), uint8_t{0xFF});
  ApplyStuck();
  return true;
}

void RomChip::Program(uint32_t address, const uint8_t* data, uint32_t len) {
  const uint32_t page = part_->page_size;
  address %= part_->size;
  const uint32_t base = address - address % page;
  // The chip's page buffer: later bytes of an over-long program overwrite
  // earlier ones, as the internal address counter wraps.
  std::vector<int> buffer(page, -1);
  for (uint32_t i = 0; i < len; ++i) buffer[(address - base + i) % page] = data[i];
  for (uint32_t i = 0; i < page; ++i) {
    if (buffer[i] < 0) continue;
    uint8_t& cell = bytes_[(base + i) % part_->size];
    cell = part_->eeprom ? static_cast<uint8_t>(buffer[i])
                         : static_cast<uint8_t>(cell & buffer[i]);
  }
  ApplyStuck();
}

void RomChip::Read(uint32_t address, uint8_t* out, uint32_t len) const {
  for (uint32_t i = 0; i < len; ++i) out[i] = bytes_[(address + i) % part_->size];
}

void RomChip::ApplyStuck() {
  for (const StuckByte& s : stuck_) {
    if (s.offset < bytes_.size()) bytes_[s.offset] = s.value;
  }
}

}  // namespace sim
