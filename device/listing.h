// The listing of the controllers present and what their ROMs hold.
#ifndef VXSROM_DEVICE_LISTING_H_
#define VXSROM_DEVICE_LISTING_H_

struct Context;

/// Lists every controller; with a ROM type also its ROM's contents, with
/// "/srom ?" its ROM part.  @return 0, -1 (a controller failed), -2, -6.
int ListControllers(Context& ctx);

#endif  // VXSROM_DEVICE_LISTING_H_
