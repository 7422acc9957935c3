// POSIX facts about the running program.
#include <elf.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/internal.h"
#include "platform/program.h"

namespace {

/// Owner and type of the note that records the executable's name.
const char kNoteOwner[] = "VXSROM";
const uint32_t kNoteOriginalFilename = 1;

bool ReadAt(int fd, uint64_t offset, void* buffer, size_t size) {
  return pread(fd, buffer, size, static_cast<off_t>(offset)) ==
         static_cast<ssize_t>(size);
}

/// Looks for the identity note in one SHT_NOTE section's bytes.
int FindNameInNotes(const std::vector<char>& notes, std::string* name) {
  size_t at = 0;
  while (at + 12 <= notes.size()) {
    uint32_t header[3];
    memcpy(header, &notes[at], sizeof header);
    uint64_t name_size = header[0], desc_size = header[1];
    uint64_t name_at = at + 12;
    uint64_t desc_at = name_at + ((name_size + 3) & ~3ull);
    uint64_t next = desc_at + ((desc_size + 3) & ~3ull);
    if (next > notes.size()) return -1;  // malformed
    if (name_size == sizeof kNoteOwner &&
        memcmp(&notes[name_at], kNoteOwner, sizeof kNoteOwner) == 0 &&
        header[2] == kNoteOriginalFilename) {
      const char* desc = &notes[desc_at];
      size_t length = strnlen(desc, desc_size);
      if (length == desc_size || length >= 256) return -1;
      name->assign(desc, length);
      return 0;
    }
    at = next;
  }
  return 1;  // not in this section
}

}  // namespace

namespace platform {

bool ExecutablePath(std::wstring* path) {
  std::vector<char> buffer(4096);
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return false;
  buffer[static_cast<size_t>(n)] = '\0';
  return WideFromLocale(buffer.data(), path);
}

int RecordedOriginalFilename(std::wstring* name) {
  int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  int result = -1;
  Elf64_Ehdr header;
  if (ReadAt(fd, 0, &header, sizeof header) &&
      memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
      header.e_ident[EI_CLASS] == ELFCLASS64 &&
      header.e_shentsize == sizeof(Elf64_Shdr) && header.e_shnum < 4096) {
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    if (ReadAt(fd, header.e_shoff, sections.data(),
               sections.size() * sizeof(Elf64_Shdr))) {
      for (const Elf64_Shdr& section : sections) {
        if (section.sh_type != SHT_NOTE || section.sh_size > (1u << 20))
          continue;
        std::vector<char> notes(section.sh_size);
        std::string recorded;
        if (!ReadAt(fd, section.sh_offset, notes.data(), notes.size())) break;
        int found = FindNameInNotes(notes, &recorded);
        if (found == 1) continue;
        if (found == 0 && WideFromLocale(recorded.c_str(), name)) result = 0;
        break;
      }
    }
  }
  close(fd);
  return result;
}

void HardenProcess() {}

void SleepMilliseconds(uint32_t milliseconds) {
  struct timespec delay = {static_cast<time_t>(milliseconds / 1000),
                           static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
  }
}

bool GetEnvironment(const char* name, std::string* value) {
  const char* text = getenv(name);
  if (!text) return false;
  *value = text;
  return true;
}

std::string UserStateDirectory() {
  std::string base;
  if (GetEnvironment("XDG_STATE_HOME", &base) && IsAbsolutePath(base)) return base;
  std::string home;
  if (!GetEnvironment("HOME", &home) || home.empty()) return "";
  return home + "/.local/state";
}

}  // namespace platform
