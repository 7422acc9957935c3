// vxrom: the second program over the controller and ROM code, for people
// and scripts: subcommands, long options, JSON results on stdout.
#ifndef VXROM_VXROM_H_
#define VXROM_VXROM_H_

#include <string>
#include <vector>

/// Runs one command line (the program's name first).
/// @return the exit code: 0, or vxsrom's negative code of the failure.
int RunVxrom(const std::vector<std::wstring>& args);

#endif  // VXROM_VXROM_H_
