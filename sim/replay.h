// The simulator answering from a recording: each call must be the
// recorded one, with the same arguments (buffers byte for byte); it gets
// the recorded status and out values, and polls take the recorded time at
// the speed in force, up to a bound, so that a replay always ends.
#ifndef VXSROM_SIM_REPLAY_H_
#define VXSROM_SIM_REPLAY_H_

#include <chrono>
#include <string>
#include <vector>

#include "device/controller_library.h"
#include "sim/recording.h"

namespace sim {

/// The longest a replayed poll waits, whatever the recording and speed:
/// a real poll comes some 100 ms after the call before it.
constexpr std::chrono::seconds kMaxReplayWait{10};

/// How long a poll recorded micros after the call before waits at speed.
std::chrono::microseconds ReplayWait(uint64_t micros, double speed);

/// Answers the sixteen operations from a recording, in its order.
class Replayer {
 public:
  Replayer(Recording recording, double speed);

  LibraryStatus InitializeLibrary();
  LibraryStatus TerminateLibrary();
  LibraryStatus EnumerateDevices(uint32_t zero1, uint32_t zero2,
                                 DeviceRecord* records, uint32_t capacity,
                                 uint32_t* count);
  LibraryStatus OpenDevice(PciAddress address, uint32_t two,
                           const RomGeometry* geometry);
  LibraryStatus CloseDevice(PciAddress address);
  LibraryStatus GetSromInfo(PciAddress address, RomGeometry* geometry);
  LibraryStatus GetDeviceInfo(PciAddress address, DeviceInfo* info);
  LibraryStatus StartSromRead(PciAddress address, uint32_t offset,
                              uint32_t size, uint32_t zero, void* reserved,
                              uint32_t one);
  LibraryStatus PollSromRead(PciAddress address, uint32_t size,
                             uint8_t* buffer, uint32_t* progress);
  LibraryStatus StartSromWrite(PciAddress address, uint32_t size,
                               const uint8_t* image, uint32_t one);
  LibraryStatus StartSromErase(PciAddress address, uint32_t one);
  LibraryStatus PollSromProgress(PciAddress address, uint32_t* progress);
  LibraryStatus MakeSromImage(const wchar_t* firmware, const wchar_t* config,
                              const wchar_t* eui64,
                              const RomGeometry* geometry, uint8_t* image);
  LibraryStatus GetSromImageInfo(const uint8_t* image, uint32_t size,
                                 ImageInfo* info);
  LibraryStatus PatchSromImage(uint8_t* image, uint32_t size, uint32_t zero1,
                               uint32_t zero2, void* reserved1,
                               const RomGeometry* geometry, void* reserved2,
                               uint32_t four);
  LibraryStatus UpdateSromImage(const wchar_t* firmware,
                                const wchar_t* config, const wchar_t* eui64,
                                const RomGeometry* geometry, uint8_t* image);

 private:
  /// The recorded call, when the actual one matches it; otherwise says on
  /// stderr where the replay departs, and null from then on.
  const RecordedCall* Take(const char* operation,
                           const std::vector<std::string>& args);
  /// Fills size bytes at out from the call's out token index.
  bool Fill(const RecordedCall& call, size_t index, void* out, size_t size);
  /// A number from the call's out token index.
  bool Number(const RecordedCall& call, size_t index, uint32_t* value);
  /// Waits until the recorded time since the call before has passed, at
  /// the speed in force.
  void Pace(const RecordedCall& call);
  /// MakeSromImage and UpdateSromImage: the image they filled.
  LibraryStatus Built(const char* operation, const wchar_t* firmware,
                      const wchar_t* config, const wchar_t* eui64,
                      const RomGeometry* geometry, uint8_t* image);
  /// The status of a call whose out values could not be given.
  LibraryStatus Broken(const RecordedCall& call);

  Recording recording_;
  RecordedCall current_;  ///< The call being answered, taken apart.
  double speed_;
  size_t next_ = 0;
  bool departed_ = false;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace sim

#endif  // VXSROM_SIM_REPLAY_H_
