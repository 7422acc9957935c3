// Libraries loaded at run time and the operations they export.
#ifndef VXSROM_PLATFORM_DYNAMIC_LIBRARY_H_
#define VXSROM_PLATFORM_DYNAMIC_LIBRARY_H_

#include <string>

namespace platform {

/// Loads the library file_name from beside the executable, else where the
/// system keeps libraries: the loader's search path on POSIX; on Windows
/// System32 by full path, never the current directory or PATH.
/// @return a handle, or null with *reason naming what was tried and why
/// it failed.
void* LoadLibraryBesideProgram(const std::wstring& file_name,
                               std::wstring* reason);

/// Loads the library file at a narrow path; null with the system's
/// *reason.
void* LoadLibraryAt(const std::string& path, std::string* reason);

/// The export at ordinal (Windows, as the maker's library is bound) or
/// under name (POSIX); null when absent.
void* LibraryExport(void* handle, int ordinal, const char* name);

/// Unloads a library loaded here.
void UnloadLibrary(void* handle);

/// The directory of the library or program that holds this code, as a
/// narrow path with its separator.
std::string ModuleDirectory();

}  // namespace platform

#endif  // VXSROM_PLATFORM_DYNAMIC_LIBRARY_H_
