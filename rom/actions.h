// The ROM actions that the driver dispatches, one per run.
#ifndef VXSROM_ROM_ACTIONS_H_
#define VXSROM_ROM_ACTIONS_H_

#include <stdint.h>

#include "device/exit_codes.h"

namespace rom {

struct RomJob;

/// /erase, and the erase step of /write and /writeall.  Unless keep_open,
/// the controller is closed on return; otherwise it is left open for the
/// write that follows.
device::ExitCode EraseSrom(RomJob& job, bool keep_open);

/// Reads the open controller's ROM back and compares it with the image.
/// @return kExitOk, kExitNoMemory, kExitRomOperation or
///         kExitVerifyMismatch.
device::ExitCode VerifySrom(RomJob& job, const uint8_t* expected_image,
                            uint32_t image_size);

/// /write: builds, checks, erases when asked, writes and verifies; or with
/// /fout stores the image in a file.
device::ExitCode WriteAction(RomJob& job);

/// The part the two writes share, on the open controller: erase first when
/// the geometry's mode bits ask for it (unless /noerase), write the image
/// with progress, "Write complete".  @return kExitOk or the first failure's
/// code.
device::ExitCode EraseAndWrite(RomJob& job, uint8_t* image, uint32_t size);

/// /dump: reads the ROM into the image file.
device::ExitCode DumpAction(RomJob& job);

/// /verify: compares the ROM with the image the input files give.
device::ExitCode VerifyAction(RomJob& job);

/// /imagegen: builds the image into a file without writing a ROM.
device::ExitCode ImageGenAction(RomJob& job);

/// /writeall: writes and verifies every controller matching the firmware.
device::ExitCode WriteAllAction(RomJob& job);

}  // namespace rom

#endif  // VXSROM_ROM_ACTIONS_H_
