// EUI-64s as people and files write them, and the rule that a number
// names one board.
#ifndef VXROM_LINE_EUI64_H_
#define VXROM_LINE_EUI64_H_

#include <stdint.h>

#include <string>

namespace line {

/// Reads an EUI-64 as an .eui file writes it, "XX-XX-XX-XX-XX-XX-XX-XX",
/// or with colons, "XX:XX:...", either case.  @return false when text is
/// not one.
bool ParseEui64(const std::string& text, uint64_t* value);
/// The display form of value ("02-56-58-...").
std::string FormatEui64Value(uint64_t value);

/// True when every number from first to last names one board: the group
/// (I/G) bit, the low bit of the first octet, is clear in all of them,
/// so both ends share their first octet.  *octet: the first octet that
/// has it, otherwise.
bool IndividualNumbers(uint64_t first, uint64_t last, unsigned* octet);

}  // namespace line

#endif  // VXROM_LINE_EUI64_H_
