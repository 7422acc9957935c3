// Program-wide state of one run, handed by reference to the code that
// needs it instead of living in globals.
#ifndef VXSROM_APP_CONTEXT_H_
#define VXSROM_APP_CONTEXT_H_

#include <string>

#include "app/command_line.h"
#include "device/session.h"
#include "rom/job.h"

/// Everything one run shares between the driver and the actions.
struct Context {
  std::wstring program_name;       ///< ProgramName, set by the identity check.
  std::wstring command_line_echo;  ///< CommandLineEcho, read by the run log.
  CommandLine options;             ///< The parser's outputs.
  DeviceSession session;           ///< Library, controllers, ROM types.
  RomJob job{session};             ///< The action's request, from options.
};

#endif  // VXSROM_APP_CONTEXT_H_
