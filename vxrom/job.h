// vxrom job: release, list, show and retire the firmware a line runs.
#ifndef VXROM_JOB_H_
#define VXROM_JOB_H_

#include "device/exit_codes.h"
#include "vxrom/options.h"

/// Runs the job subcommand the options name.
device::ExitCode JobCommand(const VxromOptions& options);

#endif  // VXROM_JOB_H_
