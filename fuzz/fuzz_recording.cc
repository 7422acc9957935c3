// libFuzzer target: the reader of recordings that the simulator replays.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "sim/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sim::Recording recording;
  std::string error;
  sim::ParseRecording(std::string(reinterpret_cast<const char*>(data), size),
                      &recording, &error);
  return 0;
}
