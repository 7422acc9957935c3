// The parts of the platform layer that the C library covers everywhere.
#include "sim/sim_platform.h"

#include "platform/platform.h"

namespace sim {

std::string WideToUtf8(const wchar_t* text) {
  return text ? platform::Utf8FromWide(text) : std::string();
}

bool ReplaceFileAtomically(const std::string& path,
                           const std::vector<uint8_t>& data) {
  // Processes programming other controllers of the machine read every ROM
  // file when they start; on Windows a file being read cannot be replaced
  // for that moment, so the replacement is tried again briefly.
  for (int attempt = 0;; ++attempt) {
    if (platform::ReplaceFileAtomically(path, data.data(), data.size())) return true;
    if (attempt == 50) return false;
    platform::SleepMilliseconds(2);
  }
}

bool ReadWholeFile(const std::string& path, size_t max_bytes,
                   std::vector<uint8_t>* data, bool* too_large, bool* not_regular) {
  data->clear();
  *too_large = false;
  bool refused = false;
  FILE* file = OpenRegularFile(path, &refused);
  if (not_regular) *not_regular = refused;
  if (!file) return false;
  uint8_t chunk[4096];
  bool ok = true;
  for (;;) {
    size_t n = fread(chunk, 1, sizeof chunk, file);
    if (n == 0) {
      ok = !ferror(file);
      break;
    }
    if (data->size() + n > max_bytes) {
      *too_large = true;
      break;
    }
    data->insert(data->end(), chunk, chunk + n);
  }
  fclose(file);
  return ok;
}

}  // namespace sim
