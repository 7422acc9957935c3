// Loading of the controller library at run time, so the stand-in and the
// maker's library are interchangeable without a rebuild; and its start and
// stop around one run, the same for every program.
#ifndef VXSROM_DEVICE_LIBRARY_LOADER_H_
#define VXSROM_DEVICE_LIBRARY_LOADER_H_

#include <string>

#include "device/controller_library.h"
#include "device/exit_codes.h"

namespace device {

struct DeviceSession;

/// The controller library, loaded and bound for one run.
class LoadedLibrary {
 public:
  LoadedLibrary() = default;
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  ~LoadedLibrary();

  /// Loads vxctl and binds all sixteen operations.
  /// @return false with *reason when it cannot be loaded or lacks one.
  bool Load(std::wstring* reason);

  /// The bound operations; valid after Load succeeded.
  const ControllerLibrary& operations() const { return operations_; }

  /// Releases the library.
  void Unload();

  /// True when the last Load found the library but not every operation.
  bool incomplete() const { return incomplete_; }

 private:
  void* handle_ = nullptr;
  bool incomplete_ = false;
  ControllerLibrary operations_ = {};
};

/// vxctl, started for a session while this object says so.
class StartedLibrary {
 public:
  /// Loads and starts vxctl and hands it to session; reports why not.
  /// @return kExitOk or kExitFailed.
  ExitCode Start(DeviceSession& session);

  /// Stops the library (if started); a failure to stop is reported and
  /// turns a success into kExitFailed.  @return the run's exit code.
  ExitCode Stop(DeviceSession& session, ExitCode exit_code);

 private:
  LoadedLibrary loaded_;
};

}  // namespace device

#endif  // VXSROM_DEVICE_LIBRARY_LOADER_H_
