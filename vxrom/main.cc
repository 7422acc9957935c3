// Entry point of vxrom: started as vxsrom is (a hardened process, the
// console set up, requests to stop handled), without its identity check.
#include <string>
#include <vector>

#include "device/exit_codes.h"
#include "platform/console.h"
#include "platform/program.h"
#include "vxrom/output.h"
#include "vxrom/vxrom.h"

using namespace device;

#ifdef _WIN32
// The C runtime calls it under -municode; it declares no prototype.
extern "C" int wmain(int argc, wchar_t** argv);

int wmain(int argc, wchar_t** argv) {
  platform::StartProgram();
  return RunVxrom(std::vector<std::wstring>(argv, argv + argc));
}
#else
int main(int argc, char** argv) {
  platform::StartProgram();
  std::vector<std::wstring> args;
  int bad = platform::DecodeArguments(argc, argv, &args);
  if (bad >= 0) {
    VxromReasons().Reason(L"argument %d is not valid text in this locale",
                          bad);
    return kExitCommandLine;
  }
  return RunVxrom(args);
}
#endif
