// The catalogue of serial ROM parts the simulator can fit to a controller.
#ifndef VXSROM_SIM_PARTS_H_
#define VXSROM_SIM_PARTS_H_

#include <stdint.h>

#include <string>

#include "device/controller_library.h"

namespace sim {

/// One serial ROM part as the datasheet describes it.
struct Part {
  const char* name;         ///< Name used in machine descriptions.
  const char* description;  ///< One line for people.
  bool eeprom;              ///< Writes replace bytes; no erase needed.
  bool supported;           ///< False: GetSromInfo reports it unsupported.
  uint32_t size;            ///< Bytes of storage.
  uint32_t page_size;       ///< True program page; programs wrap inside it.
  uint8_t erase_opcode;     ///< The only chip-erase opcode it obeys (0: none).
  RomGeometry reported;     ///< What GetSromInfo reports.
  double erase_seconds;     ///< Chip erase time.
  double page_seconds;      ///< One page program (or write cycle).
  double read_hz;           ///< SPI clock of reads.
};

/// The catalogue, in documentation order; ends at count.
const Part* Parts(size_t* count);

/// The part of that name (ASCII case ignored), or null.
const Part* FindPart(const std::string& name);

/// Simulated seconds to read bytes.
double ReadSeconds(const Part& part, uint32_t bytes);

}  // namespace sim

#endif  // VXSROM_SIM_PARTS_H_
