#include "sim/replay.h"

#include <string.h>

#include <algorithm>
#include <thread>

#include "platform/console.h"
#include "sim/status.h"

namespace sim {

Replayer::Replayer(Recording recording, double speed)
    : recording_(std::move(recording)),
      speed_(speed),
      last_(std::chrono::steady_clock::now()) {}

const RecordedCall* Replayer::Take(const char* operation,
                                   const std::vector<std::string>& args) {
  if (departed_) return nullptr;
  RecordedCall actual;
  actual.operation = operation;
  actual.args = args;
  const size_t number = next_ + 1;
  if (next_ >= recording_.calls()) {
    departed_ = true;
    platform::PrintDiagnostic("vxctl: replay departs at call " + std::to_string(number) +
                              ": the recording has ended, got " + actual.Shown());
    return nullptr;
  }
  current_ = recording_.Call(next_);
  if (current_.operation != actual.operation || current_.args != actual.args) {
    departed_ = true;
    platform::PrintDiagnostic("vxctl: replay departs at call " + std::to_string(number) +
                              ": expected " + current_.Shown() + ", got " +
                              actual.Shown());
    return nullptr;
  }
  ++next_;
  return &current_;
}

bool Replayer::Fill(const RecordedCall& call, size_t index, void* out,
                    size_t size) {
  std::vector<uint8_t> bytes;
  if (index >= call.outs.size()) return false;
  if (call.outs[index] == "-") return true;  // nothing was filled in
  if (!out || !FromHexToken(call.outs[index], &bytes) || bytes.size() > size)
    return false;
  if (!bytes.empty()) memcpy(out, bytes.data(), bytes.size());
  return true;
}

bool Replayer::Number(const RecordedCall& call, size_t index,
                      uint32_t* value) {
  if (index >= call.outs.size() || !value) return false;
  *value = static_cast<uint32_t>(strtoul(call.outs[index].c_str(), nullptr, 10));
  return true;
}

std::chrono::microseconds ReplayWait(uint64_t micros, double speed) {
  // In floating point, so that no product overflows before the bound.
  const double most = static_cast<double>(
      std::chrono::duration_cast<std::chrono::microseconds>(kMaxReplayWait).count());
  const double wait = static_cast<double>(micros) * speed;
  return std::chrono::microseconds(
      static_cast<int64_t>(wait > 0 ? std::min(wait, most) : 0));
}

void Replayer::Pace(const RecordedCall& call) {
  auto due = last_ + ReplayWait(call.micros, speed_);
  auto now = std::chrono::steady_clock::now();
  if (due > now) std::this_thread::sleep_for(due - now);
}

LibraryStatus Replayer::Broken(const RecordedCall& call) {
  departed_ = true;
  platform::PrintDiagnostic("vxctl: replay: the recording's call " +
                            std::to_string(next_) + " " + call.operation +
                            " holds no usable out values");
  return kReplayDeparture;
}

// Every operation: match, then hand out what was recorded.  The time of
// each call starts the clock of the next.
#define VXCTL_REPLAY_TAKE(name, args)                      \
  const RecordedCall* call = Take(name, args);             \
  if (!call) return kReplayDeparture;                      \
  struct Stamp {                                           \
    std::chrono::steady_clock::time_point* last;           \
    ~Stamp() { *last = std::chrono::steady_clock::now(); } \
  } stamp {                                                \
    &last_                                                 \
  }

LibraryStatus Replayer::Built(const char* operation, const wchar_t* firmware,
                              const wchar_t* config, const wchar_t* eui64,
                              const RomGeometry* geometry, uint8_t* image) {
  VXCTL_REPLAY_TAKE(operation, BuildArgs(firmware, config, eui64, geometry));
  if (!Fill(*call, 0, image, ImageBytesFor(geometry))) return Broken(*call);
  return call->status;
}

LibraryStatus Replayer::InitializeLibrary() {
  VXCTL_REPLAY_TAKE("InitializeLibrary", {});
  return call->status;
}

LibraryStatus Replayer::TerminateLibrary() {
  VXCTL_REPLAY_TAKE("TerminateLibrary", {});
  return call->status;
}

LibraryStatus Replayer::EnumerateDevices(uint32_t zero1, uint32_t zero2,
                                         DeviceRecord* records,
                                         uint32_t capacity, uint32_t* count) {
  VXCTL_REPLAY_TAKE("EnumerateDevices",
                    EnumerateArgs(zero1, zero2, records, capacity));
  if (!Number(*call, 0, count) ||
      !Fill(*call, 1, records, sizeof(DeviceRecord) * capacity))
    return Broken(*call);
  return call->status;
}

LibraryStatus Replayer::OpenDevice(PciAddress address, uint32_t two,
                                   const RomGeometry* geometry) {
  VXCTL_REPLAY_TAKE("OpenDevice", OpenArgs(address, two, geometry));
  return call->status;
}

LibraryStatus Replayer::CloseDevice(PciAddress address) {
  VXCTL_REPLAY_TAKE("CloseDevice", AddressArgs(address));
  return call->status;
}

LibraryStatus Replayer::GetSromInfo(PciAddress address, RomGeometry* geometry) {
  VXCTL_REPLAY_TAKE("GetSromInfo", AddressArgs(address));
  if (!Fill(*call, 0, geometry, sizeof(RomGeometry))) return Broken(*call);
  return call->status;
}

LibraryStatus Replayer::GetDeviceInfo(PciAddress address, DeviceInfo* info) {
  VXCTL_REPLAY_TAKE("GetDeviceInfo", AddressArgs(address));
  if (!Fill(*call, 0, info, sizeof(DeviceInfo))) return Broken(*call);
  return call->status;
}

LibraryStatus Replayer::StartSromRead(PciAddress address, uint32_t offset,
                                      uint32_t size, uint32_t zero,
                                      void* reserved, uint32_t one) {
  VXCTL_REPLAY_TAKE("StartSromRead",
                    StartReadArgs(address, offset, size, zero, reserved, one));
  return call->status;
}

LibraryStatus Replayer::PollSromRead(PciAddress address, uint32_t size,
                                     uint8_t* buffer, uint32_t* progress) {
  VXCTL_REPLAY_TAKE("PollSromRead", PollReadArgs(address, size, buffer));
  Pace(*call);
  if (!Number(*call, 0, progress) || !Fill(*call, 1, buffer, size))
    return Broken(*call);
  return call->status;
}

LibraryStatus Replayer::StartSromWrite(PciAddress address, uint32_t size,
                                       const uint8_t* image, uint32_t one) {
  VXCTL_REPLAY_TAKE("StartSromWrite", StartWriteArgs(address, size, image, one));
  return call->status;
}

LibraryStatus Replayer::StartSromErase(PciAddress address, uint32_t one) {
  VXCTL_REPLAY_TAKE("StartSromErase", StartEraseArgs(address, one));
  return call->status;
}

LibraryStatus Replayer::PollSromProgress(PciAddress address,
                                         uint32_t* progress) {
  VXCTL_REPLAY_TAKE("PollSromProgress", AddressArgs(address));
  Pace(*call);
  if (!Number(*call, 0, progress)) return Broken(*call);
  return call->status;
}

LibraryStatus Replayer::MakeSromImage(const wchar_t* firmware,
                                      const wchar_t* config,
                                      const wchar_t* eui64,
                                      const RomGeometry* geometry,
                                      uint8_t* image) {
  return Built("MakeSromImage", firmware, config, eui64, geometry, image);
}

LibraryStatus Replayer::GetSromImageInfo(const uint8_t* image, uint32_t size,
                                         ImageInfo* info) {
  VXCTL_REPLAY_TAKE("GetSromImageInfo", ImageInfoArgs(image, size));
  if (!Fill(*call, 0, info, sizeof(ImageInfo))) return Broken(*call);
  return call->status;
}

LibraryStatus Replayer::PatchSromImage(uint8_t* image, uint32_t size,
                                       uint32_t zero1, uint32_t zero2,
                                       void* reserved1,
                                       const RomGeometry* geometry,
                                       void* reserved2, uint32_t four) {
  VXCTL_REPLAY_TAKE("PatchSromImage",
                    PatchArgs(image, size, zero1, zero2, reserved1, geometry,
                              reserved2, four));
  if (!Fill(*call, 0, image, size)) return Broken(*call);
  return call->status;
}

LibraryStatus Replayer::UpdateSromImage(const wchar_t* firmware,
                                        const wchar_t* config,
                                        const wchar_t* eui64,
                                        const RomGeometry* geometry,
                                        uint8_t* image) {
  return Built("UpdateSromImage", firmware, config, eui64, geometry, image);
}

}  // namespace sim
