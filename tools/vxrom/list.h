// vxrom list: every controller, its chip, its ROM's geometry and type, and
// what the ROM holds; for people, or as one JSON document.
#ifndef VXROM_LIST_H_
#define VXROM_LIST_H_

struct DeviceSession;

/// Lists every controller on stdout.  Controllers of another chip revision
/// are listed without touching their ROM.
/// @return 0; -1 when a ROM could not be read (the listing still names
///         it); -2 or -6 when the controllers could not be enumerated.
int ListCommand(DeviceSession& session, bool json);

#endif  // VXROM_LIST_H_
