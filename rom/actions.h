// The ROM actions that the driver dispatches, one per run.
#ifndef VXSROM_ROM_ACTIONS_H_
#define VXSROM_ROM_ACTIONS_H_

#include <stdint.h>

struct Context;

/// /erase, and the erase step of /write and /writeall.  With
/// write_action_bits 0 the controller is closed on return; otherwise it is
/// left open for the write that follows.
int EraseSrom(Context& ctx, uint32_t write_action_bits);

/// Reads the open controller's ROM back and compares it with the image.
/// @return 0, -2, -5 or -8.
int VerifySrom(Context& ctx, const uint8_t* expected_image,
               uint32_t image_size);

/// /write: builds, checks, erases when asked, writes and verifies; or with
/// /fout stores the image in a file.
int WriteAction(Context& ctx);

/// The part the two writes share, on the open controller: erase first when
/// the geometry's mode bits ask for it (unless /noerase), write the image
/// with progress, "Write complete".  @return 0 or the first failure's code.
int EraseAndWrite(Context& ctx, uint8_t* image, uint32_t size);

/// /dump: reads the ROM into the image file.
int DumpAction(Context& ctx);

/// /verify: compares the ROM with the image the input files give.
int VerifyAction(Context& ctx);

/// /imagegen: builds the image into a file without writing a ROM.
int ImageGenAction(Context& ctx);

/// /writeall: writes and verifies every controller matching the firmware.
int WriteAllAction(Context& ctx);

#endif  // VXSROM_ROM_ACTIONS_H_
