// The listing of the controllers present and what their ROMs hold.
#ifndef VXSROM_DEVICE_LISTING_H_
#define VXSROM_DEVICE_LISTING_H_

struct DeviceSession;

/// Lists every controller; with a ROM type also its ROM's contents, with
/// "/srom ?" its ROM part; without one, ends with a blank line and sets
/// *wants_help: the caller's short help follows.
/// @return 0, -1 (a controller failed), -2, -6.
int ListControllers(DeviceSession& session, bool* wants_help);

#endif  // VXSROM_DEVICE_LISTING_H_
