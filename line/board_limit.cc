#include "line/board_limit.h"

#include <algorithm>

namespace line {

namespace {

// The slowest a part may be, from the datasheets' maximums with room to
// spare: a chip erase, a page program of size bytes, one read of the
// image; and the library's start, enumeration, open and image build.
const double kStartSeconds = 30;
const double kEraseSeconds = 20;
const double kReadSeconds = 2;
double PageSeconds(uint32_t size) { return std::min(0.010, 0.001 + 0.00005 * size); }

}  // namespace

uint32_t DefaultBoardSeconds(const std::optional<TargetMessage>& target) {
  const TargetMessage slowest = {0, 0x8000, 1, true};
  const TargetMessage& part = target ? *target : slowest;
  const uint32_t size = std::min<uint32_t>(part.mem_size == 0 ? 0x8000 : part.mem_size, 0x8000);
  const uint32_t page = std::max<uint32_t>(part.page_size, 1);
  const double work = (part.erases ? kEraseSeconds : 0) +
                      (size + page - 1) / page * PageSeconds(page) + 2 * kReadSeconds;
  return static_cast<uint32_t>(kStartSeconds + 3 * work + 0.5);
}

}  // namespace line
