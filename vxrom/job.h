// vxrom job: release, list, show and retire the firmware a line runs.
#ifndef VXROM_JOB_H_
#define VXROM_JOB_H_

#include "device/exit_codes.h"
#include "vxrom/options.h"

/// Runs command, one of job's subcommands.
device::ExitCode JobCommand(Command command, const CommonOptions& common, const JobOptions& options);

#endif  // VXROM_JOB_H_
