// The built-in demo machine that a run without VXCTL_SIM_MACHINE uses.
#ifndef VXSROM_SIM_DEMO_H_
#define VXSROM_SIM_DEMO_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "sim/formats.h"

namespace sim {

/// Makes sure the demo machine exists in the user's state directory
/// (one VX5130A, revision 4, at 04:00.0 with a 32 KiB type-2 flash
/// holding a factory image, at real speed).  @return false with *error.
bool EnsureDemoMachine(std::string* path, std::string* error);

/// Sample firmware for a chip revision: deterministic code, version
/// 2.0.2.6-1.B for revision 4 and 1.0.2.3-0.9 for revision 3.
Firmware SampleFirmware(uint8_t revision, uint32_t code_size = 4096);

}  // namespace sim

#endif  // VXSROM_SIM_DEMO_H_
