// The start-and-poll loop through which every long ROM operation runs:
// the library works in the background while the program redraws one
// console line with the percentage done.
#ifndef VXSROM_ROM_PROGRESS_H_
#define VXSROM_ROM_PROGRESS_H_

#include <stdint.h>

#include <string>

#include "device/controller_library.h"

/// What a held-back request to stop is answered with on stderr, once.
struct StopNotice {
  std::wstring text;     ///< The line, without the program's name.
  bool printed = false;  ///< True once printed.
};

/// The long operations on the open controller's ROM.
enum class RomOperation {
  kErase,       ///< Chip erase; data unused.
  kWrite,       ///< Writes data (the image) from the ROM's start.
  kVerifyRead,  ///< Reads the ROM into data, showing "Verify".
  kDumpRead,    ///< Reads the ROM into data, showing "Read".
};

/// Prints the notice on stderr, once, when a request to stop has been
/// held back.
void NoticeStopRequest(StopNotice* notice);

/// Percentage shown for progress bytes of size: unsigned 32-bit, fraction
/// dropped and never clamped, so a library overshooting shows above 100.
uint32_t ProgressPercent(uint32_t progress, uint32_t size);

/// Starts the operation on the open controller at address, prints its start line and polls
/// every 100 ms (the wait comes first) until the library reports anything
/// but "running", printing a progress line for every poll that did not
/// fail.  The caller prints the completion lines.
/// @param size image size: bytes to write or read, and the 100% mark.
/// @param data the image to write, or the buffer of size bytes to read into.
/// @param notice answers a request to stop that an erase or a write holds
///        back (its text set by the action; a generic one when empty).
/// @return 0 complete; the start-failure code (-5, or for the write the
///         mapped status); -5 when a poll failed.
int RunRomOperation(const ControllerLibrary& library, PciAddress address,
                    RomOperation operation, uint32_t size, uint8_t* data,
                    StopNotice* notice);

#endif  // VXSROM_ROM_PROGRESS_H_
