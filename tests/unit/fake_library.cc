#include "unit/fake_library.h"

#include <string.h>

#include <algorithm>

using namespace device;

namespace {

/// The long operation in progress on one controller.
struct Pending {
  RomOperation op = RomOperation::kErase;
  std::vector<uint8_t> image;
  int polls = 0;
};
Pending g_pending;

FakeController* Find(PciAddress address) {
  for (FakeController& c : Machine().controllers)
    if (c.address == address) return &c;
  return nullptr;
}

LibraryStatus Ok() { return 0; }

LibraryStatus Enumerate(uint32_t, uint32_t, DeviceRecord* records,
                        uint32_t capacity, uint32_t* count) {
  const auto& all = Machine().controllers;
  *count = static_cast<uint32_t>(all.size());
  for (uint32_t i = 0; records && i < capacity && i < all.size(); ++i) {
    records[i] = DeviceRecord();
    records[i].address = all[i].address;
    records[i].chip_revision = all[i].chip_revision;
  }
  return 0;
}

LibraryStatus Open(PciAddress address, uint32_t, const RomGeometry*) {
  FakeController* c = Find(address);
  if (!c) return kStatusNoDevice;
  if (c->open_status != 0) return c->open_status;
  FakeMachine& m = Machine();
  m.opened.push_back(address);
  m.most_open = std::max(m.most_open, ++m.open_now);
  return 0;
}

LibraryStatus Close(PciAddress) {
  --Machine().open_now;
  return 0;
}

LibraryStatus SromInfo(PciAddress address, RomGeometry* geometry) {
  *geometry = Find(address)->geometry;
  return 0;
}

LibraryStatus Info(PciAddress address, DeviceInfo* info) {
  FakeController* c = Find(address);
  *info = DeviceInfo();
  if (c->info_status != 0) return c->info_status;
  info->firmware_version[3] = 0x52;
  info->eui64[0] = c->rom[8];
  return 0;
}

LibraryStatus StartErase(PciAddress, uint32_t) {
  g_pending = {RomOperation::kErase, {}, 0};
  return 0;
}

LibraryStatus StartWrite(PciAddress, uint32_t size, const uint8_t* image,
                         uint32_t) {
  g_pending = {RomOperation::kWrite, std::vector<uint8_t>(image, image + size),
               0};
  return 0;
}

LibraryStatus StartRead(PciAddress, uint32_t, uint32_t, uint32_t, void*,
                        uint32_t) {
  g_pending = {RomOperation::kDumpRead, {}, 0};
  return 0;
}

/// Half way on the first poll, done (and in effect) on the second.
LibraryStatus Progress(PciAddress address, uint32_t* progress) {
  FakeController* c = Find(address);
  if (++g_pending.polls == 1) {
    *progress = 0x4000;
    return kStatusRunning;
  }
  *progress = 0x8000;
  if (g_pending.op == RomOperation::kErase) {
    std::fill(c->rom.begin(), c->rom.end(), 0xFF);
  } else if (g_pending.op == RomOperation::kWrite) {
    std::copy(g_pending.image.begin(), g_pending.image.end(), c->rom.begin());
    if (c->bad_write) c->rom[100] ^= 1;
  }
  return 0;
}

LibraryStatus Read(PciAddress address, uint32_t size, uint8_t* buffer,
                   uint32_t* progress) {
  LibraryStatus status = Progress(address, progress);
  if (status == 0) memcpy(buffer, Find(address)->rom.data(), size);
  return status;
}

LibraryStatus Update(const wchar_t* firmware, const wchar_t*, const wchar_t*,
                     const RomGeometry* geometry, uint8_t* image) {
  std::vector<uint8_t> made = FakeImage(firmware, ImageSize(geometry));
  std::copy(made.begin(), made.end(), image);
  return 0;
}

LibraryStatus ImageInformation(const uint8_t* image, uint32_t,
                               ImageInfo* info) {
  *info = ImageInfo();
  info->bytes[7] = image[7];
  return 0;
}

LibraryStatus Patch(uint8_t*, uint32_t, uint32_t, uint32_t, void*,
                    const RomGeometry*, void*, uint32_t) {
  return 0;
}

}  // namespace

FakeMachine& Machine() {
  static FakeMachine machine;
  return machine;
}

const ControllerLibrary& FakeLibrary() {
  static const ControllerLibrary library = {
      Ok, Ok, Enumerate, Open, Close, SromInfo,
      Info, StartRead, Read, StartWrite, StartErase, Progress,
      Update, ImageInformation, Patch, Update};
  return library;
}

std::vector<uint8_t> FakeImage(const std::wstring& firmware_path,
                               uint32_t size) {
  std::vector<uint8_t> image(size);
  for (uint32_t i = 0; i < size; ++i)
    image[i] = static_cast<uint8_t>(i * 7 + firmware_path.size());
  const uint8_t revision = firmware_path.find(L"rev3") != std::wstring::npos ? 3 : 4;
  image[7] = static_cast<uint8_t>(revision << 4);
  return image;
}

size_t RecordingReporter::Count(const std::string& name) const {
  return static_cast<size_t>(std::count(told.begin(), told.end(), name));
}
