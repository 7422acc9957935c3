// libFuzzer target: the .eui reader.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "sim/formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sim::Eui64 eui;
  sim::ParseEui64(std::string(reinterpret_cast<const char*>(data), size), &eui);
  return 0;
}
