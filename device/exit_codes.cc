#include "device/exit_codes.h"

// clang-format off: the pairs as a table
const StatusExitPair StatusToExitCode[25] = {
    {0, 0},
    {-1, -1},
    {-11, -6},
    {-12, -1},
    {-13, -1},
    {-14, -1},
    {-15, -1},
    {-16, -2},
    {-17, -5},
    {-21, -5},
    {-22, -5},
    {-31, -1},
    {-32, -1},
    {-33, -1},
    {-34, -1},
    {-41, -7},
    {-42, -12},
    {-43, -7},
    {-44, -10},
    {-45, -7},
    {-46, -11},
    {-51, -15},
    {-53, -15},
    {-54, -15},
    {-55, -17},
};
// clang-format on

int32_t MapStatusToExitCode(LibraryStatus status) {
  for (const StatusExitPair& pair : StatusToExitCode) {
    if (pair.status == status) return pair.exit_code;
  }
  return kExitFailed;
}
