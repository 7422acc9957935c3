// Exit codes of the program and the map from library statuses to them.
#ifndef VXSROM_DEVICE_EXIT_CODES_H_
#define VXSROM_DEVICE_EXIT_CODES_H_

#include <stdint.h>

#include "device/controller_library.h"

/// One StatusToExitCode pair.
struct StatusExitPair {
  LibraryStatus status;
  int32_t exit_code;
};

/// StatusToExitCode: the 25 pairs, searched in order.
extern const StatusExitPair StatusToExitCode[25];

/// The exit code of the first pair with this status; -1 when none.
int32_t MapStatusToExitCode(LibraryStatus status);

#endif  // VXSROM_DEVICE_EXIT_CODES_H_
