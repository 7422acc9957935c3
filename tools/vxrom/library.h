// The controller library for one vxrom run: loaded, started, stopped.
#ifndef VXROM_LIBRARY_H_
#define VXROM_LIBRARY_H_

#include "device/library_loader.h"
#include "device/session.h"

/// vxctl, started for the session while this object says so.
class StartedLibrary {
 public:
  /// Loads and starts vxctl and hands it to session; says why not.
  /// @return 0 or -1.
  int Start(DeviceSession& session);

  /// Stops the library; a failure to stop turns a success into -1.
  int Stop(DeviceSession& session, int exit_code);

 private:
  LoadedLibrary loaded_;
};

#endif  // VXROM_LIBRARY_H_
