// The simulated machine: controllers, their ROMs and injected faults, read
// from the description named by VXCTL_SIM_MACHINE.
#ifndef VXSROM_SIM_MACHINE_H_
#define VXSROM_SIM_MACHINE_H_

#include <map>
#include <string>

#include "device/controller_library.h"

namespace sim {

/// A status that an operation returns instead of doing its work.
struct Fault {
  LibraryStatus status = 0;
};

/// The whole simulated machine.
struct Machine {
  std::map<std::string, Fault> faults;  ///< By operation name.
};

/// Reads the description text into *machine.  @return false with *error.
bool ParseMachine(const std::string& text, Machine* machine, std::string* error);

}  // namespace sim

#endif  // VXSROM_SIM_MACHINE_H_
