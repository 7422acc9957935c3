#include "platform/digest.h"

#include "platform/internal.h"

namespace platform {

std::string Sha256Hex(const void* data, size_t size) {
  Sha256 digest;
  if (!digest.Update(data, size)) return std::string();
  return digest.FinishHex();
}

std::string HexDigits(const unsigned char* bytes, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * size);
  for (size_t i = 0; i < size; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 15];
  }
  return hex;
}

}  // namespace platform
