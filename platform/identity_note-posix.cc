// The name that the executable records about itself, kept in an ELF note
// (readelf -n shows it) since ELF files carry no version resource.  The
// program compares its own file name with it at start.
#include <stdint.h>

namespace {

struct IdentityNote {
  uint32_t name_size;
  uint32_t desc_size;
  uint32_t type;
  char name[8];  // "VXSROM", padded to 4 bytes
  char desc[8];  // OriginalFilename, padded to 4 bytes
};

__attribute__((section(".note.vxsrom.identity"), used, aligned(4)))
const IdentityNote kIdentityNote = {7, 7, 1, "VXSROM", "vxsrom"};

}  // namespace
