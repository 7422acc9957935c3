// SHA-256 of an image, so history says exactly what each board received.
#ifndef VXROM_SHA256_H_
#define VXROM_SHA256_H_

#include <stddef.h>
#include <stdint.h>

#include <string>

/// The digest of size bytes at data, as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const uint8_t* data, size_t size);

#endif  // VXROM_SHA256_H_
