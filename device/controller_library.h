// Interface of the controller access library vxctl: the records it
// exchanges and the sixteen operations, with the export ordinals by which
// the program binds them.  The stand-in library in sim/ implements exactly
// this header, so the maker's library can replace it without a rebuild.
#ifndef VXSROM_DEVICE_CONTROLLER_LIBRARY_H_
#define VXSROM_DEVICE_CONTROLLER_LIBRARY_H_

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

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

/// The bound operations of one loaded library.
struct ControllerLibrary {
#define VXCTL_MEMBER(name, ordinal) name##Fn name;
  VXCTL_OPERATIONS(VXCTL_MEMBER)
#undef VXCTL_MEMBER
};

#endif  // VXSROM_DEVICE_CONTROLLER_LIBRARY_H_
