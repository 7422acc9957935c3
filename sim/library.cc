#include "sim/library.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/output_file.h"
#include "platform/program.h"
#include "platform/text.h"
#include "sim/demo.h"
#include "sim/image.h"
#include "sim/status.h"

namespace sim {

struct Library::Controller {
  const ControllerSpec* described = nullptr;
  std::map<std::string, uint32_t> calls;
  bool open = false;
  RomGeometry geometry = {0, 0, 0};
  platform::ProcessLock lock;
  std::unique_ptr<RomChip> chip;
  std::unique_ptr<LongOperation> op;
  std::chrono::steady_clock::time_point op_start;
};

namespace {

/// Bytes that erases and reads of a controller opened with g cover:
/// MemSize, at least 1, at most an image.
uint32_t AccessSize(const RomGeometry& g) {
  const uint32_t mem_size = g.mem_size;  // a copy: unaligned in the record
  return std::min(std::max<uint32_t>(mem_size, 1), kMaxImageSize);
}

std::string Hex(uint32_t value, int digits = 0) {
  char text[16];
  snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

std::string Geometry(const RomGeometry* g) {
  if (!g) return "null";
  return "{" + Hex(g->mem_size) + ", " + Hex(g->page_size) + ", " + Hex(g->dev_code, 4) + "}";
}

std::string Pointer(const void* p, const char* name) { return p ? name : "null"; }

std::string Path(const wchar_t* path) {
  if (!path) return "null";
  return "\"" + platform::Utf8FromWide(path) + "\"";
}

std::string Address(PciAddress address) { return FormatPciAddress(address); }

std::string Join(std::initializer_list<std::string> parts) {
  std::string out;
  for (const std::string& part : parts) {
    if (!out.empty()) out += ", ";
    out += part;
  }
  return out;
}

bool IsZero(const RomGeometry& g) { return g.mem_size == 0 && g.page_size == 0 && g.dev_code == 0; }

}  // namespace

Library::Library() = default;
Library::~Library() { TerminateLibrary(); }

void Library::Trace(const std::string& line) {
  if (machine_.trace_path.empty() || trace_refused_) return;
  // Opened per line, so a killed run still leaves every completed call;
  // never waiting on a FIFO or a device, which could hold the caller for
  // ever.  A target that fails is said once, and tracing stops.
  bool not_regular = false;
  FILE* file = platform::OpenRegularOutput(machine_.trace_path, true, &not_regular);
  bool written = file && fprintf(file, "%s\n", line.c_str()) >= 0;
  written = file && fclose(file) == 0 && written;
  if (!written) {
    trace_refused_ = true;
    platform::PrintDiagnostic("vxctl: trace " + machine_.trace_path + ": " +
                              (not_regular ? "not a regular file" : "cannot be written") +
                              "; calls go on untraced");
  }
}

LibraryStatus Library::Traced(const std::string& call, LibraryStatus status,
                              const std::string& out) {
  Trace(call + " = " + std::to_string(status) + (out.empty() ? "" : " " + out));
  return status;
}

Library::Controller* Library::Find(PciAddress address) {
  for (auto& c : controllers_) {
    if (c->described->address == address) return c.get();
  }
  return nullptr;
}

bool Library::Fires(const FaultRule& rule, uint32_t call) {
  if (rule.fired) return false;
  if (!rule.once) return rule.call == 0 || rule.call == call;
  // A rule that fails once, across runs: the description says it fired,
  // so the next run (a retry) passes.  Written before the failure is
  // returned, so a run that dies now does not fail again.
  std::vector<uint8_t> bytes;
  const size_t limit = 1 << 20;
  if (!platform::ReadInputFile(machine_path_, limit + 1, &bytes, nullptr) || bytes.size() > limit) return false;
  const std::string text = MarkFired(std::string(bytes.begin(), bytes.end()), rule.line);
  if (!platform::ReplaceFileAtomically(machine_path_, text.data(), text.size())) {
    return false;
  }
  const_cast<FaultRule&>(rule).fired = true;
  return true;
}

bool Library::Faulted(const char* operation, Controller* controller, LibraryStatus* status) {
  uint32_t call = ++calls_[operation];
  for (const FaultRule& rule : machine_.faults) {
    if (rule.operation == operation && Fires(rule, call)) {
      *status = rule.status;
      return true;
    }
  }
  if (!controller) return false;
  call = ++controller->calls[operation];
  for (const FaultRule& rule : controller->described->faults) {
    if (rule.operation == operation && Fires(rule, call)) {
      *status = rule.status;
      return true;
    }
  }
  return false;
}

bool Library::Paused(const Controller& c) const {
  for (const PollPause& p : c.described->pauses) {
    if (p.kind == c.op->kind() && !platform::PathExists(p.until_path)) return true;
  }
  return false;
}

LibraryStatus Library::Check(const char* operation, PciAddress address, bool must_be_open,
                             Controller** controller) {
  *controller = initialized_ ? Find(address) : nullptr;
  LibraryStatus status;
  if (initialized_ && Faulted(operation, *controller, &status)) return status;
  if (!initialized_) return kNotInitialized;
  if (!*controller) return kNoDevice;
  if (must_be_open && !(*controller)->open) return kNotOpen;
  return kOk;
}

LibraryStatus Library::InitializeLibrary() {
  std::string path;
  if (!platform::GetEnvironment("VXCTL_SIM_MACHINE", &path) || path.empty()) {
    std::string error;
    if (!EnsureDemoMachine(&path, &error)) {
      platform::PrintDiagnostic("vxctl: demo machine: " + error);
      return kNoMachine;
    }
    // Whoever runs the program without having chosen a machine may not
    // know that this library is a simulator: say so, and where the demo's
    // ROM lives, so that nobody takes its output for a real board's.
    LibraryStatus status = Initialize(path);
    if (status == kOk) {
      platform::PrintDiagnostic("vxctl: a simulated machine is in use: the demo machine, files in " +
                                platform::DirectoryOf(path) + " (VXCTL_SIM_MACHINE names another)");
    }
    return status;
  }
  return Initialize(path);
}

LibraryStatus Library::InitializeFrom(const std::string& path) { return Initialize(path); }

LibraryStatus Library::Initialize(const std::string& path) {
  if (initialized_) return Traced("InitializeLibrary()", kNotInitialized);
  std::vector<uint8_t> bytes;
  const size_t limit = 1 << 20;
  bool not_regular = false;
  const bool read = platform::ReadInputFile(path, limit + 1, &bytes, nullptr, &not_regular);
  const bool too_large = read && bytes.size() > limit;
  if (!read || too_large) {
    platform::PrintDiagnostic("vxctl: machine description " + path + ": " +
                              (too_large     ? "larger than 1 MiB"
                               : not_regular ? "not a regular file"
                                             : "cannot be read"));
    return kNoMachine;
  }
  Machine machine;
  std::string error;
  if (!ParseMachine(std::string(bytes.begin(), bytes.end()), platform::DirectoryOf(path), &machine, &error)) {
    platform::PrintDiagnostic("vxctl: machine description " + path + ": " + error);
    return kBadMachine;
  }
  machine_ = machine;
  machine_path_ = path;
  trace_refused_ = false;
  replayer_.reset();
  if (!machine_.replay_path.empty()) {
    // The recording answers every call; the machine is not touched.
    Recording recording;
    if (!ReadRecording(machine_.replay_path, &recording, &error)) {
      platform::PrintDiagnostic("vxctl: recording " + machine_.replay_path + ": " + error);
      return kBadMachine;
    }
    replayer_.reset(new Replayer(std::move(recording), machine_.speed));
    initialized_ = true;
    return 0;
  }
  calls_.clear();
  enumerate_calls_ = 0;
  LibraryStatus status;
  if (Faulted("InitializeLibrary", nullptr, &status)) return Traced("InitializeLibrary()", status);
  // Blank ROMs appear on first use; existing ones must fit their part.
  for (const ControllerSpec& described : machine_.controllers) {
    if (!platform::PathExists(described.rom_path)) {
      std::vector<uint8_t> blank(described.part->size, 0xFF);
      RomChip chip(*described.part, blank, described.stuck);
      if (!platform::ReplaceFileAtomically(described.rom_path, chip.bytes().data(), chip.bytes().size())) {
        platform::PrintDiagnostic("vxctl: ROM file " + described.rom_path + " cannot be created");
        return Traced("InitializeLibrary()", kBadRomFile);
      }
    } else {
      std::vector<uint8_t> rom;
      if (!platform::ReadInputFile(described.rom_path, described.part->size + 1, &rom, nullptr,
                                   &not_regular) ||
          rom.size() != described.part->size) {
        platform::PrintDiagnostic("vxctl: ROM file " + described.rom_path +
                                  (not_regular ? " is not a regular file"
                                               : " must hold exactly " + std::to_string(described.part->size) +
                                                     " bytes for " + described.part->name));
        return Traced("InitializeLibrary()", kBadRomFile);
      }
    }
  }
  controllers_.clear();
  for (const ControllerSpec& described : machine_.controllers) {
    controllers_.emplace_back(new Controller);
    controllers_.back()->described = &described;
  }
  initialized_ = true;
  return Traced("InitializeLibrary()", kOk);
}

LibraryStatus Library::TerminateLibrary() {
  if (!initialized_) return kNotInitialized;
  LibraryStatus status;
  if (Faulted("TerminateLibrary", nullptr, &status)) return Traced("TerminateLibrary()", status);
  for (auto& c : controllers_) {
    c->op.reset();
    c->chip.reset();
    c->lock.Release();
    c->open = false;
  }
  initialized_ = false;
  Traced("TerminateLibrary()", kOk);
  controllers_.clear();
  machine_ = Machine();
  return kOk;
}

LibraryStatus Library::EnumerateDevices(uint32_t zero1, uint32_t zero2, DeviceRecord* records,
                                        uint32_t capacity, uint32_t* count) {
  std::string call = "EnumerateDevices(" +
                     Join({std::to_string(zero1), std::to_string(zero2),
                           Pointer(records, "array"), std::to_string(capacity)}) +
                     ")";
  LibraryStatus status;
  if (!initialized_) return kNotInitialized;
  if (Faulted("EnumerateDevices", nullptr, &status)) return Traced(call, status);
  if (!count || (capacity > 0 && !records)) return Traced(call, kBadArgument);
  uint32_t n = static_cast<uint32_t>(controllers_.size());
  if (!machine_.enumerate_counts.empty()) {
    n = machine_.enumerate_counts[std::min<size_t>(enumerate_calls_, machine_.enumerate_counts.size() - 1)];
  }
  ++enumerate_calls_;
  *count = n;
  std::string out = std::to_string(n);
  if (records && capacity >= n) {
    out += " {";
    for (uint32_t i = 0; i < n; ++i) {
      DeviceRecord& r = records[i];
      memset(&r, 0, sizeof r);
      r.address = controllers_[i]->described->address;
      r.chip_revision = controllers_[i]->described->revision;
      out += (i ? ", " : "") + Address(r.address) + " rev " + std::to_string(r.chip_revision);
    }
    out += "}";
  }
  return Traced(call, kOk, out);
}

LibraryStatus Library::OpenDevice(PciAddress address, uint32_t two, const RomGeometry* geometry) {
  std::string call = "OpenDevice(" + Join({Address(address), std::to_string(two), Geometry(geometry)}) + ")";
  Controller* c;
  LibraryStatus status = Check("OpenDevice", address, false, &c);
  if (status != kOk) return initialized_ ? Traced(call, status) : status;
  if (two != 2) return Traced(call, kBadArgument);
  if (geometry && !IsZero(*geometry) && geometry->mem_size == 0) return Traced(call, kBadArgument);
  if (c->op) return Traced(call, kOperationActive);
  const Part& part = *c->described->part;
  if (!c->open) {
    int locked = c->lock.TryAcquire(c->described->rom_path + ".lock");
    if (locked != 0) return Traced(call, locked > 0 ? kBusy : kRomAccess);
    std::vector<uint8_t> rom;
    if (!platform::ReadInputFile(c->described->rom_path, part.size + 1, &rom, nullptr) ||
        rom.size() != part.size) {
      c->lock.Release();
      return Traced(call, kRomAccess);
    }
    c->chip.reset(new RomChip(part, rom, c->described->stuck));
  }
  // Without a geometry the controller reads the part's ID and uses the
  // record it knows for it; a given geometry is trusted as it is.
  c->geometry = (!geometry || IsZero(*geometry)) ? part.reported : *geometry;
  c->open = true;
  return Traced(call, kOk);
}

LibraryStatus Library::CloseDevice(PciAddress address) {
  std::string call = "CloseDevice(" + Address(address) + ")";
  Controller* c;
  LibraryStatus status = Check("CloseDevice", address, false, &c);
  if (status != kOk) return initialized_ ? Traced(call, status) : status;
  // An operation still running is abandoned with the work done so far.
  c->op.reset();
  c->chip.reset();
  c->lock.Release();
  c->open = false;
  return Traced(call, kOk);
}

LibraryStatus Library::GetSromInfo(PciAddress address, RomGeometry* geometry) {
  std::string call = "GetSromInfo(" + Address(address) + ")";
  Controller* c;
  LibraryStatus status = Check("GetSromInfo", address, true, &c);
  if (status != kOk) return initialized_ ? Traced(call, status) : status;
  if (!geometry) return Traced(call, kBadArgument);
  if (c->op) return Traced(call, kOperationActive);
  if (!c->described->part->supported) return Traced(call, kUnsupportedRom);
  *geometry = c->described->part->reported;
  return Traced(call, kOk, Geometry(geometry));
}

LibraryStatus Library::GetDeviceInfo(PciAddress address, DeviceInfo* info) {
  std::string call = "GetDeviceInfo(" + Address(address) + ")";
  Controller* c;
  LibraryStatus status = Check("GetDeviceInfo", address, true, &c);
  if (status != kOk) return initialized_ ? Traced(call, status) : status;
  if (!info) return Traced(call, kBadArgument);
  if (c->op) return Traced(call, kOperationActive);
  // The controller reads its ROM through the geometry it was opened with.
  uint32_t size = AccessSize(c->geometry);
  std::vector<uint8_t> rom(size);
  c->chip->Read(0, rom.data(), size);
  status = DecodeRom(rom.data(), size, info);
  if (status != kOk) return Traced(call, status);
  char out[96];
  const uint8_t* v = info->firmware_version;
  const uint8_t* e = info->eui64;
  snprintf(out, sizeof out,
           "{0x%04X, 0x%04X, %02X %02X %02X %02X, %02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X}",
           info->subsystem_vendor_id, info->subsystem_id, v[0], v[1], v[2], v[3], e[0], e[1],
           e[2], e[3], e[4], e[5], e[6], e[7]);
  return Traced(call, kOk, out);
}

double Library::SimulatedSeconds(const Controller& c) const {
  if (machine_.speed <= 0) return 1e300;
  std::chrono::duration<double> real = std::chrono::steady_clock::now() - c.op_start;
  return real.count() / machine_.speed;
}

const PollFault* Library::PollFaultFor(const Controller& c) const {
  for (const PollFault& f : c.described->poll_faults) {
    if (f.kind == c.op->kind()) return &f;
  }
  return nullptr;
}

bool Library::SaveRom(Controller* c) {
  return platform::ReplaceFileAtomically(c->described->rom_path, c->chip->bytes().data(),
                                         c->chip->bytes().size());
}

LibraryStatus Library::StartSromRead(PciAddress address, uint32_t offset, uint32_t size,
                                     uint32_t zero, void* reserved, uint32_t one) {
  std::string call = "StartSromRead(" +
                     Join({Address(address), std::to_string(offset), std::to_string(size),
                           std::to_string(zero), Pointer(reserved, "pointer"), std::to_string(one)}) +
                     ")";
  Controller* c;
  LibraryStatus status = Check("StartSromRead", address, true, &c);
  if (status != kOk) return initialized_ ? Traced(call, status) : status;
  if (zero != 0 || reserved || one != 1 || size == 0) return Traced(call, kBadArgument);
  if (c->op) return Traced(call, kOperationActive);
  if (static_cast<uint64_t>(offset) + size > c->geometry.mem_size) return Traced(call, kOutOfRange);
  c->op.reset(new LongOperation(LongOperation::Read(*c->described->part, offset, size)));
  c->op_start = std::chrono::steady_clock::now();
  return Traced(call, kOk);
}

LibraryStatus Library::StartSromWrite(PciAddress address, uint32_t size, const uint8_t* image,
                                      uint32_t one) {
  std::string call = "StartSromWrite(" +
                     Join({Address(address), std::to_string(size), Pointer(image, "image"),
                           std::to_string(one)}) +
                     ")";
  Controller* c;
  LibraryStatus status = Check("StartSromWrite", address, true, &c);
  if (status != kOk) return initialized_ ? Traced(call, status) : status;
  if (!image || one != 1 || size == 0) return Traced(call, kBadArgument);
  if (c->op) return Traced(call, kOperationActive);
  if (size > kMaxImageSize || size > c->geometry.mem_size) return Traced(call, kOutOfRange);
  c->op.reset(new LongOperation(
      LongOperation::Write(*c->described->part, image, size, c->geometry.page_size)));
  c->op_start = std::chrono::steady_clock::now();
  return Traced(call, kOk);
}

LibraryStatus Library::StartSromErase(PciAddress address, uint32_t one) {
  std::string call = "StartSromErase(" + Join({Address(address), std::to_string(one)}) + ")";
  Controller* c;
  LibraryStatus status = Check("StartSromErase", address, true, &c);
  if (status != kOk) return initialized_ ? Traced(call, status) : status;
  if (one != 1) return Traced(call, kBadArgument);
  if (c->op) return Traced(call, kOperationActive);
  uint32_t size = AccessSize(c->geometry);
  c->op.reset(new LongOperation(
      LongOperation::Erase(*c->described->part, static_cast<uint8_t>(c->geometry.dev_code >> 8), size)));
  c->op_start = std::chrono::steady_clock::now();
  return Traced(call, kOk);
}

LibraryStatus Library::Poll(const char* operation, PciAddress address, LongKind kind,
                            uint32_t size, uint8_t* buffer, uint32_t* progress) {
  bool read = kind == LongKind::kRead;
  std::string call = std::string(operation) + "(" +
                     (read ? Join({Address(address), std::to_string(size)}) : Address(address)) + ")";
  Controller* c;
  LibraryStatus status = Check(operation, address, true, &c);
  if (status != kOk) return initialized_ ? Traced(call, status) : status;
  if (!progress || (read && !buffer)) return Traced(call, kBadArgument);
  bool kind_ok = c->op && (read ? c->op->kind() == LongKind::kRead : c->op->kind() != LongKind::kRead);
  if (!kind_ok) return Traced(call, kOperationActive);
  if (read && size != c->op->size()) return Traced(call, kBadArgument);
  if (Paused(*c)) {
    // Held by the description until its file appears; the operation's
    // time starts again on release.
    *progress = 0;
    c->op_start = std::chrono::steady_clock::now();
    return Traced(call, kRunning, "0");
  }
  PollResult r = c->op->Advance(SimulatedSeconds(*c), PollFaultFor(*c), c->chip.get(), buffer);
  *progress = r.progress;
  if (r.status != 1) c->op.reset();
  if (r.rom_changed && !SaveRom(c)) return Traced(call, kRomAccess, std::to_string(r.progress));
  return Traced(call, r.status, std::to_string(r.progress));
}

LibraryStatus Library::PollSromRead(PciAddress address, uint32_t size, uint8_t* buffer,
                                    uint32_t* progress) {
  return Poll("PollSromRead", address, LongKind::kRead, size, buffer, progress);
}

LibraryStatus Library::PollSromProgress(PciAddress address, uint32_t* progress) {
  return Poll("PollSromProgress", address, LongKind::kWrite, 0, nullptr, progress);
}

LibraryStatus Library::BuildImage(const char* operation, const wchar_t* firmware,
                                  const wchar_t* config, const wchar_t* eui64,
                                  const RomGeometry* geometry, uint8_t* image,
                                  bool config_required) {
  std::string call = std::string(operation) + "(" +
                     Join({Path(firmware), Path(config), Path(eui64), Geometry(geometry),
                           Pointer(image, "buffer")}) +
                     ")";
  LibraryStatus status;
  if (!initialized_) return kNotInitialized;
  if (Faulted(operation, nullptr, &status)) return Traced(call, status);
  if (!firmware || !image || (config_required && !config)) return Traced(call, kBadArgument);
  if (geometry && geometry->mem_size == 0) return Traced(call, kBadArgument);
  Firmware fw;
  status = LoadFirmware(platform::Utf8FromWide(firmware), &fw);
  if (status != kOk) return Traced(call, status);
  Config cfg;
  std::string why;
  if (config) {
    status = LoadConfig(platform::Utf8FromWide(config), &cfg, &why);
    if (status != kOk) return Traced(call, status);
  }
  Eui64 eui;
  if (eui64) {
    status = LoadEui64(platform::Utf8FromWide(eui64), &eui);
    if (status != kOk) return Traced(call, status);
  }
  uint32_t size = ImageSizeFor(geometry);
  std::vector<uint8_t> built;
  status = sim::BuildImage(fw, config ? &cfg : nullptr, eui64 ? &eui : nullptr, geometry, size, &built);
  if (status != kOk) return Traced(call, status);
  memcpy(image, built.data(), size);
  return Traced(call, kOk);
}

LibraryStatus Library::MakeSromImage(const wchar_t* firmware, const wchar_t* config,
                                     const wchar_t* eui64, const RomGeometry* geometry,
                                     uint8_t* image) {
  return BuildImage("MakeSromImage", firmware, config, eui64, geometry, image, true);
}

LibraryStatus Library::UpdateSromImage(const wchar_t* firmware, const wchar_t* config,
                                       const wchar_t* eui64, const RomGeometry* geometry,
                                       uint8_t* image) {
  return BuildImage("UpdateSromImage", firmware, config, eui64, geometry, image, false);
}

LibraryStatus Library::GetSromImageInfo(const uint8_t* image, uint32_t size, ImageInfo* info) {
  std::string call = "GetSromImageInfo(" + Join({Pointer(image, "buffer"), std::to_string(size)}) + ")";
  LibraryStatus status;
  if (!initialized_) return kNotInitialized;
  if (Faulted("GetSromImageInfo", nullptr, &status)) return Traced(call, status);
  if (!image || !info || size == 0) return Traced(call, kBadArgument);
  ImageContents contents;
  status = ParseImage(image, size, &contents);
  if (status != kOk) return Traced(call, status);
  FillImageInfo(contents, size, info);
  return Traced(call, kOk, Hex(info->bytes[7], 2));
}

LibraryStatus Library::PatchSromImage(uint8_t* image, uint32_t size, uint32_t zero1,
                                      uint32_t zero2, void* reserved1,
                                      const RomGeometry* geometry, void* reserved2,
                                      uint32_t four) {
  std::string call = "PatchSromImage(" +
                     Join({Pointer(image, "buffer"), std::to_string(size), std::to_string(zero1),
                           std::to_string(zero2), Pointer(reserved1, "pointer"), Geometry(geometry),
                           Pointer(reserved2, "pointer"), std::to_string(four)}) +
                     ")";
  LibraryStatus status;
  if (!initialized_) return kNotInitialized;
  if (Faulted("PatchSromImage", nullptr, &status)) return Traced(call, status);
  if (!image || !geometry || size == 0 || zero1 != 0 || zero2 != 0 || reserved1 ||
      reserved2 || four != 4) {
    return Traced(call, kBadArgument);
  }
  return Traced(call, PatchImage(image, size, *geometry));
}

}  // namespace sim
