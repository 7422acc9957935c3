// The usage text.
#ifndef VXSROM_VXSROM_HELP_H_
#define VXSROM_VXSROM_HELP_H_

#include <string>

/// Prints the usage text: the extended synopsis and option lines when
/// extended, the Options, Where and Example sections when full.
void PrintHelp(const std::wstring& program_name, bool extended, bool full);

#endif  // VXSROM_VXSROM_HELP_H_
