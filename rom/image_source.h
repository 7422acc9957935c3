// Building the ROM image from the input files and reading which chip
// revision it is made for: shared by /write, /verify and /writeall.
#ifndef VXSROM_ROM_IMAGE_SOURCE_H_
#define VXSROM_ROM_IMAGE_SOURCE_H_

#include <stdint.h>

#include <memory>
#include <string>

#include "device/controller_library.h"

struct RomJob;

/// A heap block for an image or a read-back; freed when it goes.
typedef std::unique_ptr<uint8_t[]> RomBuffer;

/// Allocates size bytes into *buffer; says so when there is no memory.
/// @return 0 or -2.
int AllocateRomBuffer(uint32_t size, RomBuffer* buffer);

/// The path to hand the library for an optional slot: null when empty.
const wchar_t* OptionalPath(const std::wstring& path);

/// Says on stderr why the library could not build an image from the input
/// files: which file, told by the exit code the status maps to; for a file
/// the library could not read, the system's reason found by trying it.
void PrintImageBuildReason(const std::wstring& firmware_path,
                           const std::wstring& config_path,
                           const std::wstring& eui64_path,
                           LibraryStatus status, int exit_code);

/// Builds the image with UpdateSromImage from the firmware, configuration
/// and EUI-64 paths for geometry (null: none).
/// @return 0, or the mapped status after its message.
int UpdateImage(RomJob& job, const RomGeometry* geometry, uint8_t* image);

/// The chip revision image is for (NO_REVISION under /norev, without
/// asking the library).  @return 0, or the mapped status after its message.
int ImageRevision(RomJob& job, const uint8_t* image, uint32_t size,
                  uint8_t* revision);

/// Compares revision with the selected controller's chip revision, as the
/// auto-detecting actions must do themselves.  @return 0 or -16.
int CheckSelectedRevision(RomJob& job, uint8_t revision);

#endif  // VXSROM_ROM_IMAGE_SOURCE_H_
