// The name that the executable records about itself, kept in an ELF note
// (readelf -n shows it) since ELF files carry no version resource.  The
// program compares its own file name with it at start.  A second note of
// the same owner carries the version, as FileVersion does on Windows, so
// that a technician can tell which release a binary is without running it.
#include <stdint.h>

#ifndef VXSROM_VERSION
#error "VXSROM_VERSION comes from the build (cmake/version.cmake)"
#endif

namespace {

/// Note types of the owner "VXSROM".
const uint32_t kNoteOriginalFilename = 1;
const uint32_t kNoteVersion = 2;

/// Description sizes padded to 4 bytes, as the ELF note format requires.
constexpr uint32_t Padded(uint32_t size) { return (size + 3) & ~3u; }

struct IdentityNotes {
  uint32_t name_size;
  uint32_t desc_size;
  uint32_t type;
  char name[8];  // "VXSROM", padded to 4 bytes
  char desc[8];  // OriginalFilename, padded to 4 bytes
  uint32_t version_name_size;
  uint32_t version_desc_size;
  uint32_t version_type;
  char version_name[8];                         // "VXSROM"
  char version[Padded(sizeof VXSROM_VERSION)];  // "1.2.3", NUL-padded
};

// One section: the note the program reads first, then the version.  The
// reader walks the notes of a section, so it finds the name either way.
__attribute__((section(".note.vxsrom.identity"), used, aligned(4)))
const IdentityNotes kIdentityNotes = {
    7, 7, kNoteOriginalFilename, "VXSROM", "vxsrom",
    7, sizeof VXSROM_VERSION, kNoteVersion, "VXSROM", VXSROM_VERSION};

}  // namespace
