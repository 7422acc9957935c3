// Program-wide state of one run, handed by reference to the code that
// needs it instead of living in globals.
#ifndef VXSROM_APP_CONTEXT_H_
#define VXSROM_APP_CONTEXT_H_

#include <stdint.h>

#include <memory>
#include <string>

#include "app/command_line.h"
#include "device/controller_library.h"
#include "device/rom_types.h"

/// Controllers of the last enumeration and the one chosen for opening.
struct DeviceState {
  std::unique_ptr<DeviceRecord[]> list;  ///< DeviceList; null when absent.
  uint32_t count = 0;                    ///< DeviceCount.
  int32_t selected_index = -1;           ///< SelectedIndex; -1 none.
  PciAddress open_address = 0xFFFF;      ///< OpenAddress; kept after close.
};

/// Everything one run shares between the driver and the actions.
struct Context {
  std::wstring program_name;        ///< ProgramName, set by the identity check.
  std::wstring command_line_echo;   ///< CommandLineEcho, read by the run log.
  CommandLine options;              ///< The parser's outputs.
  RomTypeTable rom_types;           ///< RomTypeTable, rows 0 to 8.
  DeviceState devices;              ///< DeviceList and selection.
  const ControllerLibrary* library = nullptr;  ///< Bound while started.
  std::wstring stop_notice;         ///< Stderr answer to a held-back stop.
  bool stop_noticed = false;        ///< True once stop_notice was printed.

  /// The RomTypeTable row that RomTypeSelector selects.
  RomGeometry& geometry() { return rom_types.rows[options.rom_type_selector]; }
};

#endif  // VXSROM_APP_CONTEXT_H_
