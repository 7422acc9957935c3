// The command language: options, their words and their conflicts.
#ifndef VXSROM_APP_COMMAND_LINE_H_
#define VXSROM_APP_COMMAND_LINE_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/platform.h"

struct RomTypeTable;

/// CommandFlags bits.
enum : uint32_t {
  OPT_WRITE = 0x1,
  OPT_ERASE = 0x2,
  OPT_DUMP = 0x40,
  OPT_IMAGEGEN = 0x80,
  OPT_VERIFY = 0x100,
  OPT_WRITEALL = 0x200,
  OPT_LIST = 0x1000,
  OPT_HELP = 0x4000,
  OPT_HELP_EXT = 0x8000,
  OPT_ADDRESS = 0x10000,
  OPT_NOERASE = 0x40000,
  OPT_FOUT = 0x80000,
  OPT_NOREV = 0x1000000,
  OPT_SROM = 0x2000000,
  OPT_SROMINFO = 0x4000000,
  OPT_LOG = 0x8000000,
};

/// Write-type action bits that the erase step receives from /write and
/// /writeall; with none set the erase closes the controller itself.
const uint32_t kWriteActionMask = 0x23d;

/// Longest path word, in characters; 260 or more is "too long".
const size_t kMaxPathLength = 259;

/// PciAddress meaning "no /address".
const uint16_t kNoAddress = 0xFFFF;

/// What the parser found on the command line.
struct CommandLine {
  uint32_t flags = 0;              ///< CommandFlags.
  std::wstring firmware_path;      ///< FirmwarePath.
  std::wstring config_path;        ///< ConfigPath.
  std::wstring eui64_path;         ///< Eui64Path.
  std::wstring image_path;         ///< ImagePath.
  std::wstring log_path;           ///< LogPath.
  uint16_t target_address = kNoAddress;  ///< TargetAddress.
  uint32_t rom_type_selector = 5;  ///< RomTypeSelector.

  bool has(uint32_t bits) const { return (flags & bits) != 0; }
};

/// Parses args (element 0 is the program and skipped) into *options and,
/// for /srominfo, row 7 of *table.  Prints the message of the first error.
/// @param slash_starts_paths a word in path position that starts with "/"
///        and is no keyword is a path (the platform's rule by default).
/// @return 0 when accepted, -4 when rejected.
int ParseCommandLine(const std::vector<std::wstring>& args,
                     CommandLine* options, RomTypeTable* table,
                     bool slash_starts_paths = platform::kSlashStartsPaths);

#endif  // VXSROM_APP_COMMAND_LINE_H_
