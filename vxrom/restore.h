// vxrom restore: writes a raw image file, as vxsrom /dump made it, back
// to a controller's ROM, through the same erase, write and verification
// routines (and so the same interruption safety) as vxsrom.
#ifndef VXROM_RESTORE_H_
#define VXROM_RESTORE_H_

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "device/exit_codes.h"

namespace rom {
struct RomJob;
}  // namespace rom

/// Reads the image file at job.image_path (at most limit bytes) into
/// *image; says why not.  @return 0 or -12.
device::ExitCode ReadImageFile(const rom::RomJob& job, size_t limit,
                               std::vector<uint8_t>* image);

/// Chooses and opens the target, checks the image against its ROM and
/// chip (and, unless clone_eui, that its EUI-64 is the board's own),
/// then erases (when the ROM type asks), writes and verifies.  Nothing
/// reaches the ROM unless every check passed.  The controller is closed
/// on return.  @return 0 or vxsrom's exit code of the first failure.
device::ExitCode RestoreCommand(rom::RomJob& job, std::vector<uint8_t>& image, bool clone_eui);

#endif  // VXROM_RESTORE_H_
