// A folder of one run's own in the system's temporary folder, for files
// its worker processes write and read (a board's EUI-64 file): a name no
// other user can guess or plant beforehand, open to this user only, and
// gone when the run ends.
#ifndef VXSROM_PLATFORM_PRIVATE_FOLDER_H_
#define VXSROM_PLATFORM_PRIVATE_FOLDER_H_

#include <string>

namespace platform {

/// Makes a new folder "PREFIX-RANDOM" in the temporary folder (TMPDIR or
/// /tmp, mode 0700; the user's %TEMP%, whose access the folder inherits).
/// It never reuses what stands at a name: a planted folder or link is
/// passed over.  @return false with the system's words in *reason.
bool MakePrivateFolder(const std::string& prefix, std::string* path,
                       std::wstring* reason);

/// Removes the folder and the files in it (links removed, never followed).
void RemovePrivateFolder(const std::string& path);

}  // namespace platform

#endif  // VXSROM_PLATFORM_PRIVATE_FOLDER_H_
