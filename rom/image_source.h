// Building the ROM image from the input files and reading which chip
// revision it is made for: shared by /write, /verify, /writeall and
// vxrom's provision run.
#ifndef VXSROM_ROM_IMAGE_SOURCE_H_
#define VXSROM_ROM_IMAGE_SOURCE_H_

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "device/controller_library.h"
#include "device/exit_codes.h"
#include "device/report.h"

namespace device {
struct DeviceSession;
}  // namespace device

namespace rom {

struct RomJob;

/// A heap block for an image or a read-back; freed when it goes.
typedef std::unique_ptr<uint8_t[]> RomBuffer;

/// Allocates size bytes into *buffer; reports when there is no memory.
/// @return kExitOk or kExitNoMemory.
device::ExitCode AllocateRomBuffer(device::DeviceSession& session, uint32_t size,
                                   RomBuffer* buffer);

/// The path to hand the library for an optional slot: null when empty.
const wchar_t* OptionalPath(const std::wstring& path);

/// Why the library could not build an image from the job's input files,
/// told by the exit code the status maps to: for a file it could not
/// read, the system's reason found by trying it; for a file it refused,
/// that file.
std::vector<device::InputProblem> ImageBuildProblems(const RomJob& job,
                                                     device::ExitCode exit_code);

/// An image built from the job's input files, and what it is for.
struct PreparedImage {
  RomBuffer bytes;                 ///< Null until allocated.
  uint32_t size = 0;               ///< Bytes of the image.
  uint8_t revision = NO_REVISION;  ///< Its chip revision; NO_REVISION when
                                   ///< revisions are not checked.
};

/// Whether PrepareImage checks the image against a controller.
enum class RevisionCheck {
  kByCaller,  ///< No controller is selected yet: the caller checks.
  kSelected,  ///< The selected controller's chip (auto-detection).
};

/// Sizes the image for geometry (null: no ROM type, the largest image),
/// allocates it, builds it with UpdateSromImage from the job's firmware,
/// configuration and EUI-64 paths, reads which chip revision it is for
/// (unless revisions are not checked) and with kSelected checks that
/// against the selected controller.  Reports every failure.
/// @return kExitOk, kExitNoMemory, kExitRevision or the library's status
///         mapped.
device::ExitCode PrepareImage(RomJob& job, const RomGeometry* geometry,
                              RevisionCheck check, PreparedImage* image);

}  // namespace rom

#endif  // VXSROM_ROM_IMAGE_SOURCE_H_
