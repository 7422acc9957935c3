// vxctl in recording form: it sits where the program loads vxctl, loads
// the maker's library, forwards every call to it unchanged and returns
// its results unchanged, and writes each call, with the bytes that crossed
// the interface, to a recording that the simulator can replay.
#include <stdio.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/dynamic_library.h"
#include "platform/files.h"
#include "platform/program.h"
#include "platform/text.h"
#include "sim/exports.h"
#include "sim/recording.h"

namespace {

using Clock = std::chrono::steady_clock;
using platform::GetEnvironment;
using platform::LibraryExport;
using platform::LoadLibraryAt;
using platform::MakeDirectories;
using platform::ModuleDirectory;
using platform::OpenRegularOutput;
using platform::PrintDiagnostic;
using platform::ReadInputFile;
using platform::UserStateDirectory;
using platform::Utf8FromWide;
using sim::FileLine;
using sim::RecordedCall;
using sim::RecordedFile;
using sim::RecordingWriter;

#ifdef _WIN32
const char kMakerName[] = "vxctl-maker.dll";
#else
const char kMakerName[] = "libvxctl-maker.so";
#endif

/// The maker's library, the recording and its clock: one per process.
class Recorder {
 public:
  /// The maker's operations; null when its library cannot be had (said
  /// once on stderr).
  const ControllerLibrary* Maker() {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!bound_) Bind();
    return usable_ ? &maker_ : nullptr;
  }

  /// Appends an input file the library is asked to read.  One larger
  /// than any input file the library takes is left out, not cut short: a
  /// recording holds nothing but what was there.
  void File(const wchar_t* path) {
    if (!path) return;
    RecordedFile file;
    file.path = Utf8FromWide(path);
    const size_t limit = 1 << 20;
    if (!ReadInputFile(file.path, limit + 1, &file.bytes, nullptr)) return;
    if (file.bytes.size() > limit) {
      PrintDiagnostic("vxctl recorder: " + file.path + " is larger than 1 MiB; left out of the recording");
      return;
    }
    Write(FileLine(file));
  }

  /// Appends a call that started at start.
  void Call(RecordedCall call, Clock::time_point start) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!started_) {
      started_ = true;
      previous_ = start;
    }
    call.micros = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(start - previous_)
            .count());
    previous_ = start;
    WriteLocked(call.Line());
  }

 private:
  void Bind() {
    bound_ = true;
    std::string path;
    if (!GetEnvironment("VXCTL_RECORD_LIBRARY", &path) || path.empty())
      path = ModuleDirectory() + kMakerName;
    std::string reason;
    void* handle = LoadLibraryAt(path, &reason);
    if (!handle) {
      PrintDiagnostic("vxctl recorder: the maker's library " + path + ": " + reason);
      return;
    }
#define VXCTL_BIND(name, ordinal)                                                  \
  maker_.name = reinterpret_cast<name##Fn>(LibraryExport(handle, ordinal, #name)); \
  if (!maker_.name) {                                                              \
    PrintDiagnostic("vxctl recorder: " + path + " lacks " #name);                  \
    return;                                                                        \
  }
    VXCTL_OPERATIONS(VXCTL_BIND)
#undef VXCTL_BIND
    usable_ = true;
  }

  void Write(const std::string& line) {
    std::lock_guard<std::mutex> hold(mutex_);
    WriteLocked(line);
  }

  /// Writes one line, opening the recording first; a failure is said once
  /// and never reaches the program.
  void WriteLocked(const std::string& line) {
    if (failed_) return;
    if (!out_) {
      std::string path;
      if (!GetEnvironment("VXCTL_RECORD", &path) || path.empty()) {
        std::string dir = UserStateDirectory() + "/vxctl/recordings";
        MakeDirectories(dir);
        path = dir + "/recording-" +
               std::to_string(std::chrono::system_clock::now().time_since_epoch().count()) +
               ".txt";
        PrintDiagnostic("vxctl recorder: recording to " + path);
      }
      // A FIFO or a device would hold the program until someone reads it.
      bool not_regular = false;
      out_ = OpenRegularOutput(path, false, &not_regular);
      if (!out_ || fprintf(out_, "%s\n", writer_.Header().c_str()) < 0) {
        failed_ = true;
        PrintDiagnostic("vxctl recorder: cannot write the recording " + path +
                        (not_regular ? " (not a regular file)" : "") + "; calls go on unrecorded");
        return;
      }
    }
    // Flushed line by line: a run that ends abruptly keeps its calls.
    if (fprintf(out_, "%s\n", writer_.Sealed(line).c_str()) < 0 || fflush(out_) != 0) {
      failed_ = true;
      PrintDiagnostic("vxctl recorder: writing the recording failed; calls go on unrecorded");
    }
  }

  std::mutex mutex_;
  bool bound_ = false;
  bool usable_ = false;
  ControllerLibrary maker_ = {};
  FILE* out_ = nullptr;
  RecordingWriter writer_;
  bool failed_ = false;
  bool started_ = false;
  Clock::time_point previous_;
};

Recorder& The() {
  static Recorder* recorder = new Recorder;  // never destroyed: no
  return *recorder;                          // teardown-order surprises
}

std::string NumberToken(const uint32_t* value) {
  return value ? std::to_string(*value) : "-";
}

/// Forwards one call and records it: args as the replay will compare
/// them, outs computed after the maker's library returned.
template <typename Forward, typename Outs>
LibraryStatus Forwarded(const char* operation, std::vector<std::string> args,
                        Forward forward, Outs outs) {
  const Clock::time_point start = Clock::now();
  RecordedCall call;
  call.operation = operation;
  call.args = std::move(args);
  const ControllerLibrary* maker = The().Maker();
  call.status = maker ? forward(*maker) : -1;
  call.outs = outs(call.status);
  The().Call(call, start);
  return call.status;
}

std::vector<std::string> None(LibraryStatus) { return {}; }

/// MakeSromImage and UpdateSromImage: the input files the library is to
/// read, then the call with the image it filled.
template <typename Forward>
LibraryStatus Built(const char* operation, const wchar_t* firmware,
                    const wchar_t* config, const wchar_t* eui64,
                    const RomGeometry* geometry, uint8_t* image,
                    Forward forward) {
  for (const wchar_t* path : {firmware, config, eui64}) The().File(path);
  return Forwarded(
      operation, sim::BuildArgs(firmware, config, eui64, geometry), forward,
      [&](LibraryStatus status) -> std::vector<std::string> {
        return {status == 0 ? sim::BufferToken(image, sim::ImageBytesFor(geometry)) : "-"};
      });
}

}  // namespace

VXCTL_EXPORT LibraryStatus InitializeLibrary(void) {
  return Forwarded(
      "InitializeLibrary", {}, [](const ControllerLibrary& m) { return m.InitializeLibrary(); }, None);
}

VXCTL_EXPORT LibraryStatus TerminateLibrary(void) {
  return Forwarded(
      "TerminateLibrary", {}, [](const ControllerLibrary& m) { return m.TerminateLibrary(); }, None);
}

VXCTL_EXPORT LibraryStatus EnumerateDevices(uint32_t zero1, uint32_t zero2, DeviceRecord* records,
                                            uint32_t capacity, uint32_t* count) {
  return Forwarded(
      "EnumerateDevices", sim::EnumerateArgs(zero1, zero2, records, capacity),
      [&](const ControllerLibrary& m) { return m.EnumerateDevices(zero1, zero2, records, capacity, count); },
      [&](LibraryStatus status) -> std::vector<std::string> {
        uint32_t filled = count && *count < capacity ? *count : capacity;
        return {NumberToken(count),
                status == 0 && records ? sim::HexToken(records, filled * sizeof(DeviceRecord)) : "-"};
      });
}

VXCTL_EXPORT LibraryStatus OpenDevice(PciAddress address, uint32_t two, const RomGeometry* geometry) {
  return Forwarded(
      "OpenDevice", sim::OpenArgs(address, two, geometry),
      [&](const ControllerLibrary& m) { return m.OpenDevice(address, two, geometry); }, None);
}

VXCTL_EXPORT LibraryStatus CloseDevice(PciAddress address) {
  return Forwarded(
      "CloseDevice", sim::AddressArgs(address),
      [&](const ControllerLibrary& m) { return m.CloseDevice(address); }, None);
}

VXCTL_EXPORT LibraryStatus GetSromInfo(PciAddress address, RomGeometry* geometry) {
  return Forwarded(
      "GetSromInfo", sim::AddressArgs(address),
      [&](const ControllerLibrary& m) { return m.GetSromInfo(address, geometry); },
      [&](LibraryStatus status) -> std::vector<std::string> {
        return {status == 0 ? sim::BufferToken(geometry, sizeof(RomGeometry)) : "-"};
      });
}

VXCTL_EXPORT LibraryStatus GetDeviceInfo(PciAddress address, DeviceInfo* info) {
  return Forwarded(
      "GetDeviceInfo", sim::AddressArgs(address),
      [&](const ControllerLibrary& m) { return m.GetDeviceInfo(address, info); },
      [&](LibraryStatus status) -> std::vector<std::string> {
        return {status == 0 ? sim::BufferToken(info, sizeof(DeviceInfo)) : "-"};
      });
}

VXCTL_EXPORT LibraryStatus StartSromRead(PciAddress address, uint32_t offset, uint32_t size,
                                         uint32_t zero, void* reserved, uint32_t one) {
  return Forwarded(
      "StartSromRead", sim::StartReadArgs(address, offset, size, zero, reserved, one),
      [&](const ControllerLibrary& m) { return m.StartSromRead(address, offset, size, zero, reserved, one); },
      None);
}

VXCTL_EXPORT LibraryStatus PollSromRead(PciAddress address, uint32_t size, uint8_t* buffer,
                                        uint32_t* progress) {
  // The buffer is recorded once the read is done: what the program uses.
  return Forwarded(
      "PollSromRead", sim::PollReadArgs(address, size, buffer),
      [&](const ControllerLibrary& m) { return m.PollSromRead(address, size, buffer, progress); },
      [&](LibraryStatus status) -> std::vector<std::string> {
        return {NumberToken(progress), status == 0 ? sim::BufferToken(buffer, size) : "-"};
      });
}

VXCTL_EXPORT LibraryStatus StartSromWrite(PciAddress address, uint32_t size, const uint8_t* image,
                                          uint32_t one) {
  return Forwarded(
      "StartSromWrite", sim::StartWriteArgs(address, size, image, one),
      [&](const ControllerLibrary& m) { return m.StartSromWrite(address, size, image, one); }, None);
}

VXCTL_EXPORT LibraryStatus StartSromErase(PciAddress address, uint32_t one) {
  return Forwarded(
      "StartSromErase", sim::StartEraseArgs(address, one),
      [&](const ControllerLibrary& m) { return m.StartSromErase(address, one); }, None);
}

VXCTL_EXPORT LibraryStatus PollSromProgress(PciAddress address, uint32_t* progress) {
  return Forwarded(
      "PollSromProgress", sim::AddressArgs(address),
      [&](const ControllerLibrary& m) { return m.PollSromProgress(address, progress); },
      [&](LibraryStatus) -> std::vector<std::string> { return {NumberToken(progress)}; });
}

VXCTL_EXPORT LibraryStatus MakeSromImage(const wchar_t* firmware, const wchar_t* config,
                                         const wchar_t* eui64, const RomGeometry* geometry,
                                         uint8_t* image) {
  return Built("MakeSromImage", firmware, config, eui64, geometry, image,
               [&](const ControllerLibrary& m) { return m.MakeSromImage(firmware, config, eui64, geometry, image); });
}

VXCTL_EXPORT LibraryStatus GetSromImageInfo(const uint8_t* image, uint32_t size, ImageInfo* info) {
  return Forwarded(
      "GetSromImageInfo", sim::ImageInfoArgs(image, size),
      [&](const ControllerLibrary& m) { return m.GetSromImageInfo(image, size, info); },
      [&](LibraryStatus) -> std::vector<std::string> {
        return {sim::BufferToken(info, sizeof(ImageInfo))};
      });
}

VXCTL_EXPORT LibraryStatus PatchSromImage(uint8_t* image, uint32_t size, uint32_t zero1,
                                          uint32_t zero2, void* reserved1,
                                          const RomGeometry* geometry, void* reserved2,
                                          uint32_t four) {
  return Forwarded(
      "PatchSromImage",
      sim::PatchArgs(image, size, zero1, zero2, reserved1, geometry, reserved2, four),
      [&](const ControllerLibrary& m) {
        return m.PatchSromImage(image, size, zero1, zero2, reserved1, geometry, reserved2, four);
      },
      [&](LibraryStatus) -> std::vector<std::string> { return {sim::BufferToken(image, size)}; });
}

VXCTL_EXPORT LibraryStatus UpdateSromImage(const wchar_t* firmware, const wchar_t* config,
                                           const wchar_t* eui64, const RomGeometry* geometry,
                                           uint8_t* image) {
  return Built("UpdateSromImage", firmware, config, eui64, geometry, image,
               [&](const ControllerLibrary& m) { return m.UpdateSromImage(firmware, config, eui64, geometry, image); });
}
