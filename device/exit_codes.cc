#include "device/exit_codes.h"

namespace device {

// clang-format off: the pairs as a table
const StatusExitPair StatusToExitCode[25] = {
    {0, kExitOk},
    {-1, kExitFailed},
    {-11, kExitNoController},
    {-12, kExitFailed},
    {-13, kExitFailed},
    {-14, kExitFailed},
    {-15, kExitFailed},
    {-16, kExitNoMemory},
    {-17, kExitRomOperation},
    {-21, kExitRomOperation},
    {-22, kExitRomOperation},
    {-31, kExitFailed},
    {-32, kExitFailed},
    {-33, kExitFailed},
    {-34, kExitFailed},
    {-41, kExitFirmware},
    {-42, kExitFile},
    {-43, kExitFirmware},
    {-44, kExitConfig},
    {-45, kExitFirmware},
    {-46, kExitEui64},
    {-51, kExitImage},
    {-53, kExitImage},
    {-54, kExitImage},
    {-55, kExitUnsupportedRom},
};
// clang-format on

ExitCode MapStatusToExitCode(LibraryStatus status) {
  for (const StatusExitPair& pair : StatusToExitCode) {
    if (pair.status == status) return pair.exit_code;
  }
  return kExitFailed;
}

}  // namespace device
