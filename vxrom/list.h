// vxrom list: every controller, its chip, its ROM's geometry and type, and
// what the ROM holds; for people, or as one JSON document.
#ifndef VXROM_LIST_H_
#define VXROM_LIST_H_

#include "device/exit_codes.h"

namespace device {
struct DeviceSession;
}  // namespace device
namespace store {
class Store;
}  // namespace store

/// Lists every controller on stdout.  Controllers of another chip revision
/// are listed without touching their ROM.  With a store, a board whose
/// EUI-64 the store has spoiled, or has programmed on another board, is
/// marked.
/// @return 0; -1 when a ROM could not be read (the listing still names
///         it); -2 or -6 when the controllers could not be enumerated.
device::ExitCode ListCommand(device::DeviceSession& session, bool json, store::Store* store);

#endif  // VXROM_LIST_H_
