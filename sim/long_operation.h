// An erase, write or read that runs in the background of simulated time:
// started at once, then advanced to "now" by each poll.
#ifndef VXSROM_SIM_LONG_OPERATION_H_
#define VXSROM_SIM_LONG_OPERATION_H_

#include <stdint.h>

#include <vector>

#include "device/controller_library.h"
#include "sim/machine.h"
#include "sim/rom_chip.h"

namespace sim {

/// What a poll reports.
struct PollResult {
  LibraryStatus status = 0;  ///< 1 running, 0 done, < 0 failed.
  uint32_t progress = 0;     ///< Bytes done.
  bool rom_changed = false;  ///< The ROM's bytes changed in this poll.
};

/// One long operation on one chip.
class LongOperation {
 public:
  /// Chip erase with the opcode from the geometry; size is what progress
  /// counts to.  An opcode the part ignores finishes at once, erasing nothing.
  static LongOperation Erase(const Part& part, uint8_t opcode, uint32_t size);

  /// Writes image[0, size) with page-program commands of page bytes each,
  /// aligned to multiples of page, as the geometry tells the controller.
  static LongOperation Write(const Part& part, const uint8_t* image,
                             uint32_t size, uint32_t page);

  /// Reads size bytes from offset.
  static LongOperation Read(const Part& part, uint32_t offset, uint32_t size);

  /// Advances to `seconds` of simulated time since the start, applying the
  /// work done meanwhile to chip.  A fault fails the poll once its share of
  /// the work is reached, and the work done until then stays: the pages
  /// written, or the first bytes erased.  Reads copy what has been read
  /// into read_buffer.
  PollResult Advance(double seconds, const PollFault* fault, RomChip* chip,
                     uint8_t* read_buffer);

  /// Simulated seconds from start to completion.
  double duration() const;

  /// The kind of operation.
  LongKind kind() const { return kind_; }

  /// Bytes the progress counts to.
  uint32_t size() const { return size_; }

 private:
  struct Command {
    uint32_t address;
    uint32_t length;
    double end;  ///< Simulated time at which it has completed.
  };

  LongKind kind_ = LongKind::kRead;
  uint32_t size_ = 0;
  uint32_t offset_ = 0;
  uint8_t opcode_ = 0;
  double duration_ = 0;
  std::vector<uint8_t> data_;
  std::vector<Command> commands_;
  size_t next_ = 0;
  uint32_t done_ = 0;
};

}  // namespace sim

#endif  // VXSROM_SIM_LONG_OPERATION_H_
