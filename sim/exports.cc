// The sixteen exported operations: each forwards to the one library
// instance, and no exception ever crosses into the caller.
#include "sim/exports.h"

#include <mutex>
#include <new>

#include "sim/library.h"
#include "sim/status.h"

namespace {

sim::Library& Instance() {
  static sim::Library* library = new sim::Library;  // Never destroyed: no
  return *library;                                  // teardown-order surprises.
}

std::mutex& Lock() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

/// Runs call on the library, or on its replay when the description asked
/// for one; no exception crosses into the caller.
template <typename Call>
LibraryStatus Guarded(Call call) {
  try {
    std::lock_guard<std::mutex> hold(Lock());
    sim::Library& library = Instance();
    if (sim::Replayer* replay = library.replayer()) return call(*replay);
    return call(library);
  } catch (const std::bad_alloc&) {
    return sim::kOutOfMemory;
  } catch (...) {
    return -1;
  }
}

/// The start of a replay is the recording's first call; a live library
/// has started already.
LibraryStatus ReplayedStart(sim::Library&) { return 0; }
LibraryStatus ReplayedStart(sim::Replayer& replay) {
  return replay.InitializeLibrary();
}

}  // namespace

VXCTL_EXPORT LibraryStatus InitializeLibrary(void) {
  // The description names the replay, so the library starts first; then
  // the recording's own first call answers.
  LibraryStatus status = Guarded([](auto& l) { return l.InitializeLibrary(); });
  if (status != 0) return status;
  return Guarded([](auto& l) { return ReplayedStart(l); });
}
VXCTL_EXPORT LibraryStatus TerminateLibrary(void) {
  return Guarded([](auto& l) { return l.TerminateLibrary(); });
}
VXCTL_EXPORT LibraryStatus EnumerateDevices(uint32_t zero1, uint32_t zero2, DeviceRecord* records,
                                            uint32_t capacity, uint32_t* count) {
  return Guarded([&](auto& l) { return l.EnumerateDevices(zero1, zero2, records, capacity, count); });
}
VXCTL_EXPORT LibraryStatus OpenDevice(PciAddress address, uint32_t two, const RomGeometry* geometry) {
  return Guarded([&](auto& l) { return l.OpenDevice(address, two, geometry); });
}
VXCTL_EXPORT LibraryStatus CloseDevice(PciAddress address) {
  return Guarded([&](auto& l) { return l.CloseDevice(address); });
}
VXCTL_EXPORT LibraryStatus GetSromInfo(PciAddress address, RomGeometry* geometry) {
  return Guarded([&](auto& l) { return l.GetSromInfo(address, geometry); });
}
VXCTL_EXPORT LibraryStatus GetDeviceInfo(PciAddress address, DeviceInfo* info) {
  return Guarded([&](auto& l) { return l.GetDeviceInfo(address, info); });
}
VXCTL_EXPORT LibraryStatus StartSromRead(PciAddress address, uint32_t offset, uint32_t size,
                                         uint32_t zero, void* reserved, uint32_t one) {
  return Guarded([&](auto& l) { return l.StartSromRead(address, offset, size, zero, reserved, one); });
}
VXCTL_EXPORT LibraryStatus PollSromRead(PciAddress address, uint32_t size, uint8_t* buffer,
                                        uint32_t* progress) {
  return Guarded([&](auto& l) { return l.PollSromRead(address, size, buffer, progress); });
}
VXCTL_EXPORT LibraryStatus StartSromWrite(PciAddress address, uint32_t size, const uint8_t* image,
                                          uint32_t one) {
  return Guarded([&](auto& l) { return l.StartSromWrite(address, size, image, one); });
}
VXCTL_EXPORT LibraryStatus StartSromErase(PciAddress address, uint32_t one) {
  return Guarded([&](auto& l) { return l.StartSromErase(address, one); });
}
VXCTL_EXPORT LibraryStatus PollSromProgress(PciAddress address, uint32_t* progress) {
  return Guarded([&](auto& l) { return l.PollSromProgress(address, progress); });
}
VXCTL_EXPORT LibraryStatus MakeSromImage(const wchar_t* firmware, const wchar_t* config,
                                         const wchar_t* eui64, const RomGeometry* geometry,
                                         uint8_t* image) {
  return Guarded([&](auto& l) { return l.MakeSromImage(firmware, config, eui64, geometry, image); });
}
VXCTL_EXPORT LibraryStatus GetSromImageInfo(const uint8_t* image, uint32_t size, ImageInfo* info) {
  return Guarded([&](auto& l) { return l.GetSromImageInfo(image, size, info); });
}
VXCTL_EXPORT LibraryStatus PatchSromImage(uint8_t* image, uint32_t size, uint32_t zero1,
                                          uint32_t zero2, void* reserved1,
                                          const RomGeometry* geometry, void* reserved2,
                                          uint32_t four) {
  return Guarded([&](auto& l) {
    return l.PatchSromImage(image, size, zero1, zero2, reserved1, geometry, reserved2, four);
  });
}
VXCTL_EXPORT LibraryStatus UpdateSromImage(const wchar_t* firmware, const wchar_t* config,
                                           const wchar_t* eui64, const RomGeometry* geometry,
                                           uint8_t* image) {
  return Guarded([&](auto& l) { return l.UpdateSromImage(firmware, config, eui64, geometry, image); });
}
