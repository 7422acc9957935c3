// libFuzzer target: the .ini reader.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "sim/formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sim::Config config;
  std::string why;
  sim::ParseConfig(std::string(reinterpret_cast<const char*>(data), size), &config, &why);
  return 0;
}
