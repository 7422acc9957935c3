// The controller code's state for one run: the bound library, the
// controllers of the last enumeration, the ROM type table and how the
// target is chosen.  One object, handed by reference to the code that
// needs it, whichever program fills it from its own command line.
#ifndef VXSROM_DEVICE_SESSION_H_
#define VXSROM_DEVICE_SESSION_H_

#include <stdint.h>

#include <memory>

#include "device/controller_library.h"
#include "device/rom_types.h"

/// Controllers of the last enumeration and the one chosen for opening.
struct DeviceState {
  std::unique_ptr<DeviceRecord[]> list;  ///< DeviceList; null when absent.
  uint32_t count = 0;                    ///< DeviceCount.
  int32_t selected_index = -1;           ///< SelectedIndex; -1 none.
  PciAddress open_address = 0xFFFF;      ///< OpenAddress; kept after close.

  /// The record at selected_index, which must be >= 0.
  const DeviceRecord& selected() const {
    return list[static_cast<uint32_t>(selected_index)];
  }
};

/// Everything the controller code shares during one run.
struct DeviceSession {
  const ControllerLibrary* library = nullptr;  ///< Bound while started.
  DeviceState devices;                         ///< DeviceList and selection.
  RomTypeTable rom_types;                      ///< Rows 0 to 8.
  uint32_t rom_type_selector = kRomTypeNone;   ///< The row in use.
  bool has_target_address = false;             ///< A target was named.
  PciAddress target_address = 0xFFFF;          ///< The one named.
  bool check_revision = true;                  ///< Chip revision rules apply.
  /// How the reasons on stderr name the running program's options that
  /// choose the target and that skip the revision rules.
  const wchar_t* address_option = L"/address";
  const wchar_t* revision_option = L"/norev";

  /// The RomTypeTable row that the selector selects.
  RomGeometry& geometry() { return rom_types.rows[rom_type_selector]; }
};

#endif  // VXSROM_DEVICE_SESSION_H_
