// The ROM actions that the driver dispatches, one per run.
#ifndef VXSROM_ROM_ACTIONS_H_
#define VXSROM_ROM_ACTIONS_H_

#include <stdint.h>

struct RomJob;

/// /erase, and the erase step of /write and /writeall.  Unless keep_open,
/// the controller is closed on return; otherwise it is left open for the
/// write that follows.
int EraseSrom(RomJob& job, bool keep_open);

/// Reads the open controller's ROM back and compares it with the image.
/// @return 0, -2, -5 or -8.
int VerifySrom(RomJob& job, const uint8_t* expected_image,
               uint32_t image_size);

/// /write: builds, checks, erases when asked, writes and verifies; or with
/// /fout stores the image in a file.
int WriteAction(RomJob& job);

/// The part the two writes share, on the open controller: erase first when
/// the geometry's mode bits ask for it (unless /noerase), write the image
/// with progress, "Write complete".  @return 0 or the first failure's code.
int EraseAndWrite(RomJob& job, uint8_t* image, uint32_t size);

/// /dump: reads the ROM into the image file.
int DumpAction(RomJob& job);

/// /verify: compares the ROM with the image the input files give.
int VerifyAction(RomJob& job);

/// /imagegen: builds the image into a file without writing a ROM.
int ImageGenAction(RomJob& job);

/// /writeall: writes and verifies every controller matching the firmware.
int WriteAllAction(RomJob& job);

#endif  // VXSROM_ROM_ACTIONS_H_
