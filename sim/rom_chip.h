// A serial ROM part's storage and how it answers the commands the
// controller sends: chip erase, page program and read.
#ifndef VXSROM_SIM_ROM_CHIP_H_
#define VXSROM_SIM_ROM_CHIP_H_

#include <stdint.h>

#include <vector>

#include "sim/machine.h"
#include "sim/parts.h"

namespace sim {

/// The bytes of one fitted part, with its stuck cells.
class RomChip {
 public:
  /// A chip of that part holding bytes (resized to the part's size).
  RomChip(const Part& part, std::vector<uint8_t> bytes,
          std::vector<StuckByte> stuck);

  /// Chip erase with that opcode: every byte 0xFF, but only when the part
  /// obeys the opcode; an erase stopped part-way has erased only its first
  /// `length` bytes.  @return true when bytes were erased.
  bool Erase(uint8_t opcode, uint32_t length = UINT32_MAX);

  /// One page-program command: len bytes from data at address.  The data
  /// wraps inside the part's true page, whatever length was sent; a flash
  /// can only clear bits, an EEPROM replaces the bytes.
  void Program(uint32_t address, const uint8_t* data, uint32_t len);

  /// Reads len bytes from address; addresses wrap at the part's size.
  void Read(uint32_t address, uint8_t* out, uint32_t len) const;

  /// The whole storage.
  const std::vector<uint8_t>& bytes() const { return bytes_; }

  /// The part.
  const Part& part() const { return *part_; }

 private:
  void ApplyStuck();

  const Part* part_;
  std::vector<uint8_t> bytes_;
  std::vector<StuckByte> stuck_;
};

}  // namespace sim

#endif  // VXSROM_SIM_ROM_CHIP_H_
