// The name that the executable records about itself, kept in an ELF note
// (readelf -n shows it) since ELF files carry no version resource.  The
// program compares its own file name with it at start.  The version is in
// the packaging-metadata note that the linker adds (cmake/version.cmake),
// where readelf and core-dump tools read it as text.
#include <stdint.h>

namespace {

/// Note type of the owner "VXSROM".
const uint32_t kNoteOriginalFilename = 1;

struct IdentityNote {
  uint32_t name_size;
  uint32_t desc_size;
  uint32_t type;
  char name[8];  // "VXSROM", padded to 4 bytes
  char desc[8];  // OriginalFilename, padded to 4 bytes
};

// A section of its own: the reader walks the note sections in turn, so
// the packaging note beside it is passed over.
__attribute__((section(".note.vxsrom.identity"), used, aligned(4)))
const IdentityNote kIdentityNote = {7, 7, kNoteOriginalFilename, "VXSROM",
                                    "vxsrom"};

}  // namespace
