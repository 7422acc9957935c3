// Entry point: a thin shell over the driver, which the tests link too.
#include <string>
#include <vector>

#include "device/exit_codes.h"
#include "platform/console.h"
#include "platform/program.h"
#include "vxsrom/driver.h"
#include "words/voice.h"

using namespace device;

#ifdef _WIN32
// The C runtime calls it under -municode; it declares no prototype.
extern "C" int wmain(int argc, wchar_t** argv);

int wmain(int argc, wchar_t** argv) {
  platform::StartProgram();
  const int exit_code = RunProgram(std::vector<std::wstring>(argv, argv + argc));
  // Started by a double-click, the window would close with the output.
  if (platform::OwnsItsConsoleAlone()) {
    platform::WriteConsoleText(stderr, L"\nPress a key to close this window.");
    fflush(stderr);
    platform::WaitForKey();
  }
  return exit_code;
}
#else
int main(int argc, char** argv) {
  platform::StartProgram();
  std::vector<std::wstring> args;
  int bad = platform::DecodeArguments(argc, argv, &args);
  if (bad >= 0) {
    VxsromConsole().Reason(L"argument %d is not valid text in this locale",
                           bad);
    return kExitCommandLine;
  }
  return RunProgram(args);
}
#endif
