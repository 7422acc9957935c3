// The simulated controller library: the sixteen operations over a machine
// read from its description, with faults and the call trace.
#ifndef VXSROM_SIM_LIBRARY_H_
#define VXSROM_SIM_LIBRARY_H_

#include <stdint.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "device/controller_library.h"
#include "sim/long_operation.h"
#include "sim/machine.h"
#include "sim/replay.h"
#include "sim/rom_chip.h"

namespace sim {

/// One library instance; the exported functions share a single one.
class Library {
 public:
  Library();
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  /// Loads the description named by VXCTL_SIM_MACHINE, or the demo machine.
  LibraryStatus InitializeLibrary();
  /// Loads the description at path (relative to the current directory).
  LibraryStatus InitializeFrom(const std::string& path);
  /// Closes every open controller and forgets the machine.
  LibraryStatus TerminateLibrary();
  /// Count query and fill of the controllers, in description order.
  LibraryStatus EnumerateDevices(uint32_t zero1, uint32_t zero2, DeviceRecord* records,
                                 uint32_t capacity, uint32_t* count);
  /// Locks and opens a controller; null or all-zero geometry: detect.
  LibraryStatus OpenDevice(PciAddress address, uint32_t two, const RomGeometry* geometry);
  /// Closes a controller; one that is not open is fine.
  LibraryStatus CloseDevice(PciAddress address);
  /// The fitted part's geometry, or -55 for a part not known.
  LibraryStatus GetSromInfo(PciAddress address, RomGeometry* geometry);
  /// Decodes what the ROM holds now.
  LibraryStatus GetDeviceInfo(PciAddress address, DeviceInfo* info);
  /// Starts reading size bytes from offset.
  LibraryStatus StartSromRead(PciAddress address, uint32_t offset, uint32_t size,
                              uint32_t zero, void* reserved, uint32_t one);
  /// Polls a read; fills buffer with what has been read so far.
  LibraryStatus PollSromRead(PciAddress address, uint32_t size, uint8_t* buffer,
                             uint32_t* progress);
  /// Starts writing the image from the ROM's start.
  LibraryStatus StartSromWrite(PciAddress address, uint32_t size, const uint8_t* image,
                               uint32_t one);
  /// Starts a chip erase with the opcode of the geometry given at open.
  LibraryStatus StartSromErase(PciAddress address, uint32_t one);
  /// Polls a write or an erase.
  LibraryStatus PollSromProgress(PciAddress address, uint32_t* progress);
  /// Builds an image from the files; config required.
  LibraryStatus MakeSromImage(const wchar_t* firmware, const wchar_t* config,
                              const wchar_t* eui64, const RomGeometry* geometry,
                              uint8_t* image);
  /// Validates an image; byte 7 of info carries the firmware's revision.
  LibraryStatus GetSromImageInfo(const uint8_t* image, uint32_t size, ImageInfo* info);
  /// Adapts an image in place to a geometry.
  LibraryStatus PatchSromImage(uint8_t* image, uint32_t size, uint32_t zero1,
                               uint32_t zero2, void* reserved1, const RomGeometry* geometry,
                               void* reserved2, uint32_t four);
  /// Builds an image from the files; config optional.
  LibraryStatus UpdateSromImage(const wchar_t* firmware, const wchar_t* config,
                                const wchar_t* eui64, const RomGeometry* geometry,
                                uint8_t* image);

  /// Answers instead of the machine when the description says "replay".
  Replayer* replayer() { return replayer_.get(); }

  /// The description loaded by the last successful initialisation.
  const Machine& machine() const { return machine_; }

 private:
  struct Controller;

  LibraryStatus Initialize(const std::string& path);
  Controller* Find(PciAddress address);
  bool Faulted(const char* operation, Controller* controller, LibraryStatus* status);
  /// True when rule fails this call (a `once` rule is marked fired).
  bool Fires(const FaultRule& rule, uint32_t call);
  /// True while a `pause` holds the controller's operation.
  bool Paused(const Controller& c) const;
  LibraryStatus Check(const char* operation, PciAddress address, bool must_be_open,
                      Controller** controller);
  void Trace(const std::string& line);
  LibraryStatus Traced(const std::string& call, LibraryStatus status,
                       const std::string& out = std::string());
  bool SaveRom(Controller* c);
  double SimulatedSeconds(const Controller& c) const;
  const PollFault* PollFaultFor(const Controller& c) const;
  LibraryStatus Poll(const char* operation, PciAddress address, LongKind kind,
                     uint32_t size, uint8_t* buffer, uint32_t* progress);
  LibraryStatus BuildImage(const char* operation, const wchar_t* firmware,
                           const wchar_t* config, const wchar_t* eui64,
                           const RomGeometry* geometry, uint8_t* image, bool config_required);

  bool initialized_ = false;
  bool trace_refused_ = false;  ///< The trace target failed; said once.
  std::unique_ptr<Replayer> replayer_;
  Machine machine_;
  std::string machine_path_;  ///< Where the description was read.
  std::vector<std::unique_ptr<Controller>> controllers_;
  std::map<std::string, uint32_t> calls_;
  uint32_t enumerate_calls_ = 0;
};

}  // namespace sim

#endif  // VXSROM_SIM_LIBRARY_H_
