// How long a board may take before its worker is taken for hung.
#ifndef VXROM_LINE_BOARD_LIMIT_H_
#define VXROM_LINE_BOARD_LIMIT_H_

#include <stdint.h>

#include <optional>

#include "line/worker_protocol.h"

namespace line {

/// Seconds a board may take when --board-timeout is not given: the
/// library's start and the open, then the part's erase, write and two
/// reads at their slowest, three times over.  target: the part, when the
/// worker has told it; until then the slowest part there is.
uint32_t DefaultBoardSeconds(const std::optional<TargetMessage>& target);

}  // namespace line

#endif  // VXROM_LINE_BOARD_LIMIT_H_
