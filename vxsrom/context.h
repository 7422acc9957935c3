// Program-wide state of one run, handed by reference to the code that
// needs it instead of living in globals.
#ifndef VXSROM_VXSROM_CONTEXT_H_
#define VXSROM_VXSROM_CONTEXT_H_

#include <string>

#include "device/session.h"
#include "rom/job.h"
#include "vxsrom/command_line.h"
#include "words/console_reporter.h"
#include "words/voice.h"

/// Everything one run shares between the driver and the actions.
struct Context {
  std::wstring program_name;       ///< ProgramName, set by the identity check.
  std::wstring command_line_echo;  ///< CommandLineEcho, read by the run log.
  CommandLine options;             ///< The parser's outputs.
  /// The console text of every event.
  ConsoleReporter reporter{VxsromConsole(), L"/address", L"/norev"};
  device::DeviceSession session{&reporter};  ///< Library, controllers, ROM types.
  rom::RomJob job{session};                  ///< The action's request, from options.
};

#endif  // VXSROM_VXSROM_CONTEXT_H_
