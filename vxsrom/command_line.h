// The command language: options, their words and their conflicts.
#ifndef VXSROM_VXSROM_COMMAND_LINE_H_
#define VXSROM_VXSROM_COMMAND_LINE_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "device/controller_library.h"
#include "device/exit_codes.h"
#include "platform/console.h"

namespace device {
struct RomTypeTable;
}  // namespace device

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

/// Bits that no option sets; the masks below keep them as they always had
/// them, which changes nothing since they are never set.
constexpr uint32_t kNeverSet20 = 0x20;
constexpr uint32_t kNeverSet04To20 = 0x04 | 0x08 | 0x10 | kNeverSet20;

/// The actions that write: /write and /writeall.
constexpr uint32_t kWriteActionMask = OPT_WRITE | OPT_WRITEALL | kNeverSet04To20;
static_assert(kWriteActionMask == 0x23d, "write actions");

/// Conflicts of /write and /writeall with options seen before them.
constexpr uint32_t kWriteConflicts = OPT_WRITE | OPT_DUMP | OPT_IMAGEGEN |
                                     OPT_VERIFY | OPT_WRITEALL | OPT_LIST |
                                     kNeverSet04To20;
static_assert(kWriteConflicts == 0x13fd, "/write conflicts");
/// Conflicts of /address.
constexpr uint32_t kAddressConflicts = OPT_WRITEALL | OPT_LIST;
static_assert(kAddressConflicts == 0x1200, "/address conflicts");
/// Conflicts of /erase and /noerase.
constexpr uint32_t kEraseConflicts =
    OPT_ERASE | OPT_DUMP | OPT_IMAGEGEN | OPT_VERIFY | OPT_LIST;
static_assert(kEraseConflicts == 0x11c2, "/erase conflicts");
/// Conflicts of /imagegen, /dump and /verify: every action.
constexpr uint32_t kReadActionConflicts = kWriteConflicts | OPT_ERASE;
static_assert(kReadActionConflicts == 0x13ff, "/dump conflicts");
/// Conflicts of /fout: every action but /write.
constexpr uint32_t kFoutConflicts = OPT_ERASE | OPT_DUMP | OPT_IMAGEGEN |
                                    OPT_VERIFY | OPT_WRITEALL | OPT_LIST |
                                    kNeverSet20;
static_assert(kFoutConflicts == 0x13e2, "/fout conflicts");
/// Every bit that an option below bit 24 may set.
constexpr uint32_t kLowOptionBits = 0xffffff;
/// The actions and the help options.
constexpr uint32_t kActionOrHelp = kReadActionConflicts | OPT_HELP | OPT_HELP_EXT;
static_assert(kActionOrHelp == 0xd3ff, "actions or help");
/// The actions that need a ROM type (not /imagegen).
constexpr uint32_t kNeedsRomType = OPT_WRITE | OPT_ERASE | OPT_DUMP |
                                   OPT_VERIFY | OPT_WRITEALL | kNeverSet04To20;
static_assert(kNeedsRomType == 0x37f, "actions needing a ROM type");

/// Longest path word, in characters; 260 or more is "too long".
const size_t kMaxPathLength = 259;

/// What the parser found on the command line.
struct CommandLine {
  uint32_t flags = 0;                    ///< CommandFlags.
  std::wstring firmware_path;            ///< FirmwarePath.
  std::wstring config_path;              ///< ConfigPath.
  std::wstring eui64_path;               ///< Eui64Path.
  std::wstring image_path;               ///< ImagePath.
  std::wstring log_path;                 ///< LogPath.
  uint16_t target_address = kNoAddress;  ///< TargetAddress.
  uint32_t rom_type_selector = 5;        ///< RomTypeSelector.

  bool has(uint32_t bits) const { return (flags & bits) != 0; }
};

/// Parses args (element 0 is the program and skipped) into *options and,
/// for /srominfo, row 7 of *table.  Prints the message of the first error.
/// @param slash_starts_paths a word in path position that starts with "/"
///        and is no keyword is a path (the platform's rule by default).
/// @return kExitOk when accepted, kExitCommandLine when rejected.
device::ExitCode ParseCommandLine(const std::vector<std::wstring>& args,
                                  CommandLine* options, device::RomTypeTable* table,
                                  bool slash_starts_paths = platform::kSlashStartsPaths);

#endif  // VXSROM_VXSROM_COMMAND_LINE_H_
