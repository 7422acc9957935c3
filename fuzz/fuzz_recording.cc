// libFuzzer target: the reader of recordings that the simulator replays,
// the taking apart of every call it accepted, and the line checks behind
// the digests, which random bytes seldom get past.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "sim/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  sim::Recording recording;
  std::string error;
  if (sim::ParseRecording(text, &recording, &error)) {
    for (size_t i = 0; i < recording.calls(); ++i) recording.Call(i).Shown();
  }
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    sim::RecordedCall call;
    sim::RecordedFile file;
    if (sim::ParseCallLine(line, &call, &error)) call.Shown();
    sim::ParseFileLine(line, &file, &error);
    at = end + 1;
  }
  return 0;
}
