// The program driver: one command line in, one exit code out.
#ifndef VXSROM_VXSROM_DRIVER_H_
#define VXSROM_VXSROM_DRIVER_H_

#include <string>
#include <vector>

#include "device/exit_codes.h"

struct Context;

/// Checks that the executable bears the name it records about itself and
/// sets ProgramName.
/// @return kExitOk, kExitFailed, kExitNoMemory or kExitWrongName.
device::ExitCode CheckProgramIdentity(Context& ctx);

/// Runs the whole driver sequence on the arguments (element 0 is the
/// program as invoked).  @return the exit code.
device::ExitCode RunProgram(const std::vector<std::wstring>& args);

#endif  // VXSROM_VXSROM_DRIVER_H_
