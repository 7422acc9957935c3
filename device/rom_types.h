// Serial ROM types: the table of geometries that /srom and /srominfo
// select, and what the open controller's ROM is.
#ifndef VXSROM_DEVICE_ROM_TYPES_H_
#define VXSROM_DEVICE_ROM_TYPES_H_

#include <stdint.h>

#include "device/controller_library.h"
#include "device/exit_codes.h"

namespace device {

/// Selector values with a meaning of their own.
enum RomTypeSelectorValue : uint32_t {
  kRomTypeAuto = 0,    ///< /srom 0: geometry detected from the ROM.
  kRomTypeNone = 5,    ///< Neither /srom nor /srominfo given.
  kRomType255 = 6,     ///< /srom 255.
  kRomTypeCustom = 7,  ///< /srominfo.
  kRomTypeQuery = 8,   ///< /srom ?.
  kRomTypeRows = 9,
};

/// RomTypeTable: nine writable rows, indexed by RomTypeSelector.
struct RomTypeTable {
  RomGeometry rows[kRomTypeRows] = {
      {0, 0, 0x0000},           // 0 auto-detect
      {0x8000, 0x80, 0x62E0},   // 1 AT25F512/A/B
      {0x8000, 0x100, 0x60E0},  // 2 MX25L512 family
      {0x8000, 0x100, 0xC7E0},  // 3 W25X10BV family
      {0x8000, 0x20, 0x60E0},   // 4 MX25L5121E/1021E
      {0, 0, 0x0000},           // 5 none given
      {0x8000, 0x80, 0x0080},   // 6 25LC512 EEPROM
      {0, 0, 0x0000},           // 7 custom, from /srominfo
      {0x8000, 0x80, 0x00E0},   // 8 query
  };

  /// The listed type (1 to 4) whose geometry equals geometry in all eight
  /// bytes; 0 for none.
  int ListedType(const RomGeometry& geometry) const;
};

/// Bytes of every image and read buffer for a geometry: min(MemSize, 32 KiB).
inline uint32_t ImageSize(const RomGeometry& geometry) {
  return ImageSize(&geometry);
}

/// What a ROM holds, from GetDeviceInfo's status.
enum class RomContents { kUnread,
                         kImage,
                         kBlank,
                         kNoImage,
                         kDamaged };

/// The contents that status tells; kUnread for a failure that tells none.
RomContents ContentsFromStatus(LibraryStatus status);

struct DeviceSession;

/// Reads the geometry of the open controller's ROM into row 0; reports
/// why not.  @return kExitOk, kExitUnsupportedRom (ROM not supported) or
/// kExitFailed (query failed).
ExitCode DetectRomGeometry(DeviceSession& session, PciAddress address);

/// Before a chosen type (not detected) erases or writes the open
/// controller's ROM: asks the library what the part is and reports when
/// its geometry differs from the chosen one.  Changes nothing.
void CheckChosenGeometry(DeviceSession& session, PciAddress address);

/// Asks the open controller at address for its ROM's geometry, keeps it in
/// row 0 and reports the listed type it equals (rows 1 to 4, all 8 bytes).
/// @return kExitOk (listed), kExitUnsupportedRom (unsupported or unlisted)
///         or kExitFailed (query failed).
ExitCode IdentifySrom(DeviceSession& session, PciAddress address);

}  // namespace device

#endif  // VXSROM_DEVICE_ROM_TYPES_H_
