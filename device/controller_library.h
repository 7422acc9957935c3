// Interface of the controller access library vxctl: the records it
// exchanges and the sixteen operations, with the export ordinals by which
// the program binds them.  The stand-in library in sim/ implements exactly
// this header, so the maker's library can replace it without a rebuild.
#ifndef VXSROM_DEVICE_CONTROLLER_LIBRARY_H_
#define VXSROM_DEVICE_CONTROLLER_LIBRARY_H_

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#include <string>

/// Signed result of a library operation: 0 success, negative failure,
/// 1 from a poll whose operation still runs.
typedef int32_t LibraryStatus;

/// bus << 8 | device << 3 | function.
typedef uint16_t PciAddress;

#pragma pack(push, 1)
/// One controller as enumerated: 7 bytes, back to back.
struct DeviceRecord {
  uint16_t address;       ///< PciAddress, little-endian.
  uint8_t reserved[4];    ///< Not read by the program.
  uint8_t chip_revision;  ///< 3 = VX5130, 4 = VX5130A.
};

/// Geometry of a serial ROM, exchanged with the library.
struct RomGeometry {
  uint32_t mem_size;   ///< MemSize: bytes.
  uint16_t page_size;  ///< PageSize: program page in bytes.
  uint16_t dev_code;   ///< DevCode: low byte mode bits, high byte erase opcode.
};

/// What the ROM of an open controller holds (32 bytes provided).
struct DeviceInfo {
  uint16_t subsystem_vendor_id;  ///< 0 = not set.
  uint16_t subsystem_id;         ///< 0 = not set.
  uint8_t firmware_version[4];   ///< V4..V7; all zero = none.
  uint8_t eui64[8];              ///< In display order.
  uint8_t reserved[16];
};

/// Validation result of an image (32 bytes provided); byte 7's high nibble
/// is the chip revision the image is built for.
struct ImageInfo {
  uint8_t bytes[32];
};
#pragma pack(pop)

static_assert(sizeof(DeviceRecord) == 7, "DeviceRecord is 7 packed bytes");
static_assert(sizeof(RomGeometry) == 8, "RomGeometry is 8 bytes");
static_assert(sizeof(DeviceInfo) == 32, "DeviceInfo is 32 bytes");
static_assert(sizeof(ImageInfo) == 32, "ImageInfo is 32 bytes");
static_assert(offsetof(DeviceRecord, chip_revision) == 6, "revision byte");
static_assert(offsetof(RomGeometry, dev_code) == 6, "DevCode at byte 6");
static_assert(offsetof(DeviceInfo, firmware_version) == 4, "version at 4");
static_assert(offsetof(DeviceInfo, eui64) == 8, "EUI-64 at 8");

/// Mode bit of DevCode's low byte: erase the ROM before writing it.
const uint16_t kEraseBeforeWrite = 0x40;

// Function types of the sixteen operations, in ordinal order.  The
// constant arguments (0, 1, 2, 4) are passed as the program always passes
// them; their meaning is the library's.
typedef LibraryStatus (*InitializeLibraryFn)(void);
typedef LibraryStatus (*TerminateLibraryFn)(void);
typedef LibraryStatus (*EnumerateDevicesFn)(uint32_t zero1, uint32_t zero2,
                                            DeviceRecord* records,
                                            uint32_t capacity,
                                            uint32_t* count);
typedef LibraryStatus (*OpenDeviceFn)(PciAddress address, uint32_t two,
                                      const RomGeometry* geometry);
typedef LibraryStatus (*CloseDeviceFn)(PciAddress address);
typedef LibraryStatus (*GetSromInfoFn)(PciAddress address,
                                       RomGeometry* geometry);
typedef LibraryStatus (*GetDeviceInfoFn)(PciAddress address,
                                         DeviceInfo* info);
typedef LibraryStatus (*StartSromReadFn)(PciAddress address, uint32_t offset,
                                         uint32_t size, uint32_t zero,
                                         void* reserved, uint32_t one);
typedef LibraryStatus (*PollSromReadFn)(PciAddress address, uint32_t size,
                                        uint8_t* buffer, uint32_t* progress);
typedef LibraryStatus (*StartSromWriteFn)(PciAddress address, uint32_t size,
                                          const uint8_t* image, uint32_t one);
typedef LibraryStatus (*StartSromEraseFn)(PciAddress address, uint32_t one);
typedef LibraryStatus (*PollSromProgressFn)(PciAddress address,
                                            uint32_t* progress);
typedef LibraryStatus (*MakeSromImageFn)(const wchar_t* firmware_path,
                                         const wchar_t* config_path,
                                         const wchar_t* eui64_path,
                                         const RomGeometry* geometry,
                                         uint8_t* image);
typedef LibraryStatus (*GetSromImageInfoFn)(const uint8_t* image,
                                            uint32_t size, ImageInfo* info);
typedef LibraryStatus (*PatchSromImageFn)(uint8_t* image, uint32_t size,
                                          uint32_t zero1, uint32_t zero2,
                                          void* reserved1,
                                          const RomGeometry* geometry,
                                          void* reserved2, uint32_t four);
typedef LibraryStatus (*UpdateSromImageFn)(const wchar_t* firmware_path,
                                           const wchar_t* config_path,
                                           const wchar_t* eui64_path,
                                           const RomGeometry* geometry,
                                           uint8_t* image);

// X-macro of the operations: name, ordinal.  The Linux library exports
// each under its name; the Windows DLL exports each at its ordinal.
#define VXCTL_OPERATIONS(X) \
  X(InitializeLibrary, 1)   \
  X(TerminateLibrary, 2)    \
  X(EnumerateDevices, 3)    \
  X(OpenDevice, 4)          \
  X(CloseDevice, 5)         \
  X(GetSromInfo, 7)         \
  X(GetDeviceInfo, 9)       \
  X(StartSromRead, 10)      \
  X(PollSromRead, 11)       \
  X(StartSromWrite, 12)     \
  X(StartSromErase, 13)     \
  X(PollSromProgress, 14)   \
  X(MakeSromImage, 15)      \
  X(GetSromImageInfo, 17)   \
  X(PatchSromImage, 18)     \
  X(UpdateSromImage, 19)

/// Statuses with a meaning of the contract's own, as the operations
/// return them; the program maps them to exit codes (device/exit_codes.h).
enum VxctlStatus : LibraryStatus {
  kStatusOk = 0,
  kStatusRunning = 1,             ///< From a poll: the operation still runs.
  kStatusFailed = -1,             ///< Unspecified failure.
  kStatusNoDevice = -11,          ///< No controller at that address.
  kStatusNotOpen = -12,           ///< The controller is not open.
  kStatusBadArgument = -13,       ///< Null pointer, bad size or constant.
  kStatusBusy = -14,              ///< Controller open in another process.
  kStatusOutOfMemory = -16,       ///< Allocation failed.
  kStatusRomAccess = -17,         ///< ROM storage could not be accessed.
  kStatusOperationActive = -21,   ///< A long operation runs, or none to poll.
  kStatusOutOfRange = -22,        ///< Access beyond the ROM.
  kStatusBadFirmware = -41,       ///< Firmware file malformed.
  kStatusFileAccess = -42,        ///< An input file could not be read.
  kStatusFirmwareChecksum = -43,  ///< Firmware file checksum mismatch.
  kStatusBadConfig = -44,         ///< Configuration file invalid.
  kStatusFirmwareTooLarge = -45,  ///< Firmware does not fit the image.
  kStatusBadEui64 = -46,          ///< EUI-64 file invalid.
  kStatusBlank = -51,             ///< ROM or image blank (erased).
  kStatusNoImage = -52,           ///< ROM holds something that is no image.
  kStatusChecksum = -53,          ///< Image present, a checksum fails.
  kStatusBadImage = -54,          ///< Not a valid image.
  kStatusUnsupportedRom = -55,    ///< ROM part not recognised.
};

/// Chip revisions of the two controllers.
const uint8_t kChipVx5130 = 3;
const uint8_t kChipVx5130A = 4;

/// Image revision meaning "no firmware revision to check".
const uint8_t NO_REVISION = 255;

/// Largest image: every image and read buffer is at most this long.
const uint32_t kMaxImageSize = 0x8000;

/// Address meaning "no controller".
const PciAddress kNoAddress = 0xFFFF;

/// Bytes of every image and read buffer for a geometry: min(MemSize,
/// 32 KiB); 32 KiB when no geometry is in use.
inline uint32_t ImageSize(const RomGeometry* geometry) {
  if (!geometry) return kMaxImageSize;
  return geometry->mem_size < kMaxImageSize ? geometry->mem_size
                                            : kMaxImageSize;
}

/// The chip revision an image is built for, from its validation result.
inline uint8_t ImageChipRevision(const ImageInfo& info) {
  return static_cast<uint8_t>(info.bytes[7] >> 4);
}

/// True for the chips this program supports.
inline bool IsSupportedChip(uint8_t chip_revision) {
  return chip_revision == kChipVx5130 || chip_revision == kChipVx5130A;
}

/// The revision rule: an image takes a chip of its own revision; an image
/// revision of NO_REVISION (or any above 15) asks no check.
inline bool RevisionMatches(uint8_t image_revision, uint8_t chip_revision) {
  return image_revision >= 16 || image_revision == chip_revision;
}

/// Parts of a PciAddress.
inline unsigned PciBus(PciAddress a) { return a >> 8u; }
inline unsigned PciDevice(PciAddress a) { return (a >> 3u) & 0x1Fu; }
inline unsigned PciFunction(PciAddress a) { return a & 7u; }

/// The address of bus, device (0 to 0x1F) and function (0 to 7).
inline PciAddress MakePciAddress(unsigned bus, unsigned device,
                                 unsigned function) {
  return static_cast<PciAddress>(bus << 8u | device << 3u | function);
}

/// The address as "BB:DD.F", or as "BB-DD-F" (the form /address takes)
/// when dashes.
inline std::string FormatPciAddress(PciAddress a, bool dashes = false) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  text += kHex[PciBus(a) >> 4];
  text += kHex[PciBus(a) & 15];
  text += dashes ? '-' : ':';
  text += kHex[PciDevice(a) >> 4];
  text += kHex[PciDevice(a) & 15];
  text += dashes ? '-' : '.';
  text += kHex[PciFunction(a)];
  return text;
}

/// Reads "BB:DD.F" or "BB-DD-F" (hexadecimal, bus and device of one or
/// two digits).  @return false when text is neither or out of range.
inline bool ParsePciAddress(const std::string& text, PciAddress* address) {
  unsigned fields[3] = {0, 0, 0};
  const unsigned widths[3] = {2, 2, 1};
  size_t at = 0;
  char separators[2] = {0, 0};
  for (int f = 0; f < 3; ++f) {
    size_t digits = 0;
    for (; at < text.size() && digits < widths[f]; ++at, ++digits) {
      const char c = text[at];
      unsigned v = c >= '0' && c <= '9'   ? static_cast<unsigned>(c - '0')
                   : c >= 'a' && c <= 'f' ? static_cast<unsigned>(c - 'a' + 10)
                   : c >= 'A' && c <= 'F' ? static_cast<unsigned>(c - 'A' + 10)
                                          : 16u;
      if (v == 16) break;
      fields[f] = fields[f] * 16 + v;
    }
    if (digits == 0) return false;
    if (f < 2) {
      if (at >= text.size()) return false;
      separators[f] = text[at++];
    }
  }
  const bool colon = separators[0] == ':' && separators[1] == '.';
  const bool dashes = separators[0] == '-' && separators[1] == '-';
  if (at != text.size() || !(colon || dashes)) return false;
  if (fields[1] > 0x1F || fields[2] > 7) return false;
  *address = MakePciAddress(fields[0], fields[1], fields[2]);
  return true;
}

/// True when the ROM holds an EUI-64: neither all 00 nor all FF.
inline bool IsEui64Set(const DeviceInfo& info) {
  bool all_zero = true, all_ones = true;
  for (uint8_t b : info.eui64) {
    all_zero = all_zero && b == 0x00;
    all_ones = all_ones && b == 0xFF;
  }
  return !all_zero && !all_ones;
}

/// Eight bytes as "XX-XX-XX-XX-XX-XX-XX-XX", the form of an .eui file.
inline std::string FormatEui64(const uint8_t (&bytes)[8]) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (int i = 0; i < 8; ++i) {
    if (i) text += '-';
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 15];
  }
  return text;
}

/// The firmware version as "A.B.C.D-E.F" from V7..V4; empty when none
/// (all four bytes zero).
inline std::string FormatFirmwareVersion(const DeviceInfo& info) {
  const uint8_t* v = info.firmware_version;  // V4..V7
  if (!v[0] && !v[1] && !v[2] && !v[3]) return std::string();
  static const char kHex[] = "0123456789ABCDEF";
  auto hex = [](unsigned value) {
    std::string digits;
    do {
      digits.insert(digits.begin(), kHex[value & 15]);
      value >>= 4;
    } while (value);
    return digits;
  };
  return hex(v[3] >> 4u) + "." + hex(v[3] & 15u) + "." + hex(v[2] >> 4u) +
         "." + hex(v[2] & 15u) + "-" + hex(v[1]) + "." + hex(v[0]);
}

/// What an image holds, as the library's validation record gives it: bytes
/// 0-3 the firmware version V4..V7, 4-5 the subsystem vendor ID, 8-15 the
/// EUI-64, 28-29 the subsystem ID; in the form GetDeviceInfo gives a ROM's.
inline DeviceInfo ImageInfoContents(const ImageInfo& info) {
  DeviceInfo contents = {};
  const uint8_t* b = info.bytes;
  for (int i = 0; i < 4; ++i) contents.firmware_version[i] = b[i];
  contents.subsystem_vendor_id = static_cast<uint16_t>(b[4] | b[5] << 8);
  for (int i = 0; i < 8; ++i) contents.eui64[i] = b[8 + i];
  contents.subsystem_id = static_cast<uint16_t>(b[28] | b[29] << 8);
  return contents;
}

/// The bound operations of one loaded library.
struct ControllerLibrary {
#define VXCTL_MEMBER(name, ordinal) name##Fn name;
  VXCTL_OPERATIONS(VXCTL_MEMBER)
#undef VXCTL_MEMBER
};

#endif  // VXSROM_DEVICE_CONTROLLER_LIBRARY_H_
