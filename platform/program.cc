// The start shared by every program of the project.
#include "platform/program.h"

#include "platform/console.h"
#include "platform/stop.h"

namespace platform {

void StartProgram() {
  HardenProcess();
  InitConsole();
  InstallStopHandlers();
}

}  // namespace platform
