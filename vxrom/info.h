// vxrom info: what the controller library says of an image file.
#ifndef VXROM_INFO_H_
#define VXROM_INFO_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "device/exit_codes.h"

namespace device {
struct DeviceSession;
}  // namespace device

/// Asks the library about image (read from path) and reports on stdout
/// whether it is valid, the chip revision and layout it is built for, and
/// its size.  @return 0 for a valid image, else the status's exit code.
device::ExitCode InfoCommand(device::DeviceSession& session, const std::wstring& path,
                             const std::vector<uint8_t>& image, bool json);

#endif  // VXROM_INFO_H_
