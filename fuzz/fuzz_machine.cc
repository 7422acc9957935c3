// libFuzzer target: the machine description parser.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "sim/machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sim::Machine machine;
  std::string error;
  sim::ParseMachine(std::string(reinterpret_cast<const char*>(data), size), "", &machine, &error);
  return 0;
}
