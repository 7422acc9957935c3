#include "sim/long_operation.h"

#include <algorithm>

namespace sim {
namespace {

// A chip-erase command the part does not know is ignored: the status
// register shows ready on the controller's first look.
const double kIgnoredCommandSeconds = 0.0001;

uint32_t Threshold(const PollFault* fault, uint32_t size) {
  if (!fault->percent) return fault->at;
  return static_cast<uint32_t>(static_cast<uint64_t>(size) * fault->at / 100);
}

}  // namespace

LongOperation LongOperation::Erase(const Part& part, uint8_t opcode, uint32_t size) {
  LongOperation op;
  op.kind_ = LongKind::kErase;
  op.size_ = size;
  op.opcode_ = opcode;
  bool obeyed = part.erase_opcode != 0 && opcode == part.erase_opcode;
  op.duration_ = obeyed ? part.erase_seconds : kIgnoredCommandSeconds;
  return op;
}

LongOperation LongOperation::Write(const Part& part, const uint8_t* image,
                                   uint32_t size, uint32_t page) {
  LongOperation op;
  op.kind_ = LongKind::kWrite;
  op.size_ = size;
  op.data_.assign(image, image + size);
  if (page == 0) page = part.page_size;
  double t = 0;
  for (uint32_t address = 0; address < size;) {
    uint32_t length = std::min(page - address % page, size - address);
    // Each command is one program cycle of the chip, however many bytes
    // it carried.
    t += part.page_seconds;
    op.commands_.push_back({address, length, t});
    address += length;
  }
  op.duration_ = t;
  return op;
}

LongOperation LongOperation::Read(const Part& part, uint32_t offset, uint32_t size) {
  LongOperation op;
  op.kind_ = LongKind::kRead;
  op.size_ = size;
  op.offset_ = offset;
  op.duration_ = ReadSeconds(part, size);
  return op;
}

double LongOperation::duration() const { return duration_; }

PollResult LongOperation::Advance(double seconds, const PollFault* fault,
                                  RomChip* chip, uint8_t* read_buffer) {
  PollResult result;
  const uint32_t limit = fault ? std::min(Threshold(fault, size_), size_) : size_;
  if (kind_ == LongKind::kWrite) {
    while (next_ < commands_.size() && commands_[next_].end <= seconds) {
      if (fault && done_ >= limit) break;
      const Command& c = commands_[next_++];
      chip->Program(c.address, data_.data() + c.address, c.length);
      done_ += c.length;
      result.rom_changed = true;
    }
    result.progress = done_;
    if (fault && done_ >= limit) {
      result.status = fault->status;
    } else {
      result.status = next_ == commands_.size() ? 0 : 1;
    }
    return result;
  }
  double fraction = duration_ <= 0 ? 1.0 : std::min(1.0, seconds / duration_);
  uint32_t done = fraction >= 1.0 ? size_ : static_cast<uint32_t>(size_ * fraction);
  if (fault && done >= limit) {
    done = limit;
    result.status = fault->status;
  } else {
    result.status = done == size_ ? 0 : 1;
  }
  if (kind_ == LongKind::kRead) {
    if (read_buffer && done > done_) chip->Read(offset_ + done_, read_buffer + done_, done - done_);
  } else if (result.status == 0) {
    result.rom_changed = chip->Erase(opcode_);
  } else if (result.status < 0) {
    // An erase that failed part-way leaves what it had reached erased:
    // the old image is damaged, not kept.
    result.rom_changed = chip->Erase(opcode_, done);
  }
  done_ = std::max(done_, done);
  result.progress = done;
  return result;
}

}  // namespace sim
