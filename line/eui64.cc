#include "line/eui64.h"

#include "device/controller_library.h"

namespace line {

bool ParseEui64(const std::string& text, uint64_t* value) {
  if (text.size() != 23) return false;
  uint64_t v = 0;
  for (size_t i = 0; i < 23; ++i) {
    const char c = text[i];
    if (i % 3 == 2) {
      // One separator throughout: all dashes, or all colons.
      if ((c != '-' && c != ':') || c != text[2]) return false;
      continue;
    }
    unsigned digit = c >= '0' && c <= '9'   ? static_cast<unsigned>(c - '0')
                     : c >= 'a' && c <= 'f' ? static_cast<unsigned>(c - 'a' + 10)
                     : c >= 'A' && c <= 'F' ? static_cast<unsigned>(c - 'A' + 10)
                                            : 16u;
    if (digit == 16) return false;
    v = v << 4 | digit;
  }
  *value = v;
  return true;
}

std::string FormatEui64Value(uint64_t value) {
  uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(value >> (56 - 8 * i));
  return FormatEui64(bytes);
}

bool IndividualNumbers(uint64_t first, uint64_t last, unsigned* octet) {
  const unsigned a = static_cast<unsigned>(first >> 56);
  const unsigned b = static_cast<unsigned>(last >> 56);
  if ((a & 1) == 0 && a == b) return true;
  *octet = (a & 1) ? a : a + 1;
  return false;
}

}  // namespace line
