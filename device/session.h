// The controller code's state for one run: the bound library, the
// controllers of the last enumeration, the ROM type table, how the target
// is chosen, and where the code reports what it finds.  One object, handed
// by reference to the code that needs it, whichever program fills it.
#ifndef VXSROM_DEVICE_SESSION_H_
#define VXSROM_DEVICE_SESSION_H_

#include <stdint.h>

#include <memory>

#include "device/controller_library.h"
#include "device/report.h"
#include "device/rom_types.h"

namespace device {

/// Controllers of the last enumeration and the one chosen for opening.
struct DeviceState {
  std::unique_ptr<DeviceRecord[]> list;  ///< DeviceList; null when absent.
  uint32_t count = 0;                    ///< DeviceCount.
  int32_t selected_index = -1;           ///< SelectedIndex; -1 none.
  PciAddress open_address = kNoAddress;  ///< OpenAddress; kept after close.

  /// The record at selected_index, which must be >= 0.
  const DeviceRecord& selected() const {
    return list[static_cast<uint32_t>(selected_index)];
  }
  /// Every enumerated controller's address, in order.
  std::vector<PciAddress> addresses() const;
};

/// The host services the code waits and stops with; tests put in their
/// own so that no poll costs real time.
struct HostServices {
  void (*sleep_ms)(uint32_t milliseconds);  ///< Waits between polls.
  void (*hold_stop_requests)();             ///< From now, stops wait.
  bool (*stop_requested)();                 ///< A stop was held back.
};

/// The operating system's services.
const HostServices& SystemHostServices();

/// Everything the controller code shares during one run.
struct DeviceSession {
  explicit DeviceSession(Reporter* r) : reporter(r) {}

  const ControllerLibrary* library = nullptr;  ///< Bound while started.
  Reporter* reporter;                          ///< Where events go.
  const HostServices* host = &SystemHostServices();
  DeviceState devices;                        ///< DeviceList and selection.
  RomTypeTable rom_types;                     ///< Rows 0 to 8.
  uint32_t rom_type_selector = kRomTypeNone;  ///< The row in use.
  bool has_target_address = false;            ///< A target was named.
  PciAddress target_address = kNoAddress;     ///< The one named.
  bool check_revision = true;                 ///< Chip revision rules apply.

  /// How the target is chosen: the ROM type row, the controller named (if
  /// named: FF-1F-7 is an address too) and whether the chip revision rules
  /// apply.
  void Choose(uint32_t selector, bool named, PciAddress address,
              bool revision_rules) {
    rom_type_selector = selector;
    has_target_address = named;
    target_address = address;
    check_revision = revision_rules;
  }

  /// The RomTypeTable row that the selector selects.
  RomGeometry& geometry() { return rom_types.rows[rom_type_selector]; }
  /// Where the code reports what it finds.
  Reporter& report() const { return *reporter; }
};

/// Closes the selected controller, if any, when it goes: the end step of
/// every single-controller action, on every path.
class SelectedControllerGuard {
 public:
  explicit SelectedControllerGuard(DeviceSession& session)
      : session_(session) {}
  SelectedControllerGuard(const SelectedControllerGuard&) = delete;
  SelectedControllerGuard& operator=(const SelectedControllerGuard&) = delete;
  ~SelectedControllerGuard();

 private:
  DeviceSession& session_;
};

}  // namespace device

#endif  // VXSROM_DEVICE_SESSION_H_
