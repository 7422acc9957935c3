// libFuzzer target: the .mem reader.
#include <stddef.h>
#include <stdint.h>

#include "sim/formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sim::Firmware firmware;
  sim::ParseFirmware(data, size, &firmware);
  return 0;
}
