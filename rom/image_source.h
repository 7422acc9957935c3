// Building the ROM image from the input files and reading which chip
// revision it is made for: shared by /write, /verify and /writeall.
#ifndef VXSROM_ROM_IMAGE_SOURCE_H_
#define VXSROM_ROM_IMAGE_SOURCE_H_

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "device/controller_library.h"
#include "device/report.h"

struct DeviceSession;
struct RomJob;

/// A heap block for an image or a read-back; freed when it goes.
typedef std::unique_ptr<uint8_t[]> RomBuffer;

/// Allocates size bytes into *buffer; reports when there is no memory.
/// @return 0 or -2.
int AllocateRomBuffer(DeviceSession& session, uint32_t size,
                      RomBuffer* buffer);

/// The path to hand the library for an optional slot: null when empty.
const wchar_t* OptionalPath(const std::wstring& path);

/// Why the library could not build an image from the job's input files,
/// told by the exit code the status maps to: for a file it could not
/// read, the system's reason found by trying it; for a file it refused,
/// that file.
std::vector<InputProblem> ImageBuildProblems(const RomJob& job,
                                             int exit_code);

/// Builds the image with UpdateSromImage from the firmware, configuration
/// and EUI-64 paths for geometry (null: none).
/// @return 0, or the mapped status after its report.
int UpdateImage(RomJob& job, const RomGeometry* geometry, uint8_t* image);

/// The chip revision image is for (NO_REVISION when revisions are not
/// checked, without asking the library).
/// @return 0, or the mapped status after its report.
int ImageRevision(RomJob& job, const uint8_t* image, uint32_t size,
                  uint8_t* revision);

#endif  // VXSROM_ROM_IMAGE_SOURCE_H_
