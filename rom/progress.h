// The start-and-poll loop through which every long ROM operation runs:
// the library works in the background while the program redraws one
// console line with the percentage done.
#ifndef VXSROM_ROM_PROGRESS_H_
#define VXSROM_ROM_PROGRESS_H_

#include <stdint.h>

struct Context;

/// The long operations on the open controller's ROM.
enum class RomOperation {
  kErase,       ///< Chip erase; data unused.
  kWrite,       ///< Writes data (the image) from the ROM's start.
  kVerifyRead,  ///< Reads the ROM into data, showing "Verify".
  kDumpRead,    ///< Reads the ROM into data, showing "Read".
};

/// Prints ctx.stop_notice on stderr, once, when a request to stop has
/// been held back.
void NoticeStopRequest(Context& ctx);

/// Percentage shown for progress bytes of size: unsigned 32-bit, fraction
/// dropped and never clamped, so a library overshooting shows above 100.
uint32_t ProgressPercent(uint32_t progress, uint32_t size);

/// Starts the operation on OpenAddress, prints its start line and polls
/// every 100 ms (the wait comes first) until the library reports anything
/// but "running", printing a progress line for every poll that did not
/// fail.  The caller prints the completion lines.
/// @param size image size: bytes to write or read, and the 100% mark.
/// @param data the image to write, or the buffer of size bytes to read into.
/// @return 0 complete; the start-failure code (-5, or for the write the
///         mapped status); -5 when a poll failed.
int RunRomOperation(Context& ctx, RomOperation operation, uint32_t size,
                    uint8_t* data);

#endif  // VXSROM_ROM_PROGRESS_H_
