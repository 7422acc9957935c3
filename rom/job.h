// What a ROM action is asked to do: the input and output paths and the
// switches, filled by whichever program runs it from its own command line.
#ifndef VXSROM_ROM_JOB_H_
#define VXSROM_ROM_JOB_H_

#include <string>

#include "device/session.h"
#include "rom/progress.h"

namespace rom {

/// One ROM action's request, over the session it runs in.
struct RomJob {
  explicit RomJob(device::DeviceSession& s) : session(s) {}

  device::DeviceSession& session;  ///< Library, controllers, ROM types.
  std::wstring firmware_path;      ///< The .mem file.
  std::wstring config_path;        ///< The .ini file; empty when not given.
  std::wstring eui64_path;         ///< The .eui file; empty when not given.
  std::wstring image_path;         ///< The image file written or read.
  bool no_erase = false;           ///< Write without the erase the type asks.
  bool to_file = false;            ///< The write goes to image_path instead.
  StopNotice stop;                 ///< The answer to a held-back stop.

  /// The session's reporter.
  device::Reporter& report() const { return session.report(); }
};

}  // namespace rom

#endif  // VXSROM_ROM_JOB_H_
