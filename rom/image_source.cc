#include "rom/image_source.h"

#include <new>

#include "device/exit_codes.h"
#include "device/target.h"
#include "platform/platform.h"
#include "rom/job.h"

int AllocateRomBuffer(uint32_t size, RomBuffer* buffer) {
  buffer->reset(new (std::nothrow) uint8_t[size]);
  if (!*buffer) {
    platform::Print(L"Memory allocate error = %d\n", static_cast<int>(size));
    platform::PrintReason(L"out of memory for a buffer of %u bytes",
                          static_cast<unsigned>(size));
    return -2;
  }
  return 0;
}

const wchar_t* OptionalPath(const std::wstring& path) {
  return path.empty() ? nullptr : path.c_str();
}

void PrintImageBuildReason(const std::wstring& firmware_path,
                           const std::wstring& config_path,
                           const std::wstring& eui64_path,
                           LibraryStatus status, int exit_code) {
  const int code = static_cast<int>(status);
  const struct {
    const wchar_t* kind;
    const std::wstring& path;
    int refused_code;  ///< The exit code that blames this file's contents.
  } inputs[] = {{L"firmware", firmware_path, -7},
                {L"configuration", config_path, -10},
                {L"EUI-64", eui64_path, -11}};
  if (exit_code == -12) {
    bool found = false;
    for (const auto& input : inputs) {
      std::wstring why;
      if (input.path.empty() || platform::ProbeReadable(input.path, &why))
        continue;
      platform::PrintReason(L"cannot read the %ls file \"%ls\": %ls",
                            input.kind, input.path.c_str(), why.c_str());
      found = true;
    }
    if (!found)
      platform::PrintReason(
          L"the library could not read an input file (library status %d)",
          code);
    return;
  }
  for (const auto& input : inputs) {
    if (exit_code != input.refused_code) continue;
    platform::PrintReason(
        L"the %ls file \"%ls\" was refused by the library (library status "
        L"%d)",
        input.kind, input.path.c_str(), code);
    return;
  }
  if (exit_code == -15) {
    platform::PrintReason(
        L"the image does not fit the ROM type in use (library status %d)",
        code);
  } else {
    platform::PrintReason(
        L"the library could not build the image (library status %d)", code);
  }
}

int UpdateImage(RomJob& job, const RomGeometry* geometry, uint8_t* image) {
  const RomJob& options = job;
  LibraryStatus status = job.session.library->UpdateSromImage(
      options.firmware_path.c_str(), OptionalPath(options.config_path),
      OptionalPath(options.eui64_path), geometry, image);
  if (status != 0) {
    platform::Print(L"Update SROM Image error (%d)\n", static_cast<int>(status));
    const int exit_code = MapStatusToExitCode(status);
    PrintImageBuildReason(options.firmware_path, options.config_path,
                          options.eui64_path, status, exit_code);
    return exit_code;
  }
  return 0;
}

int ImageRevision(RomJob& job, const uint8_t* image, uint32_t size,
                  uint8_t* revision) {
  if (!job.check_revision) {
    *revision = NO_REVISION;
    return 0;
  }
  ImageInfo info = {};
  LibraryStatus status = job.session.library->GetSromImageInfo(image, size, &info);
  if (status != 0) {
    platform::Print(L"Get SROM Image Info error (%d)\n",
                    static_cast<int>(status));
    platform::PrintReason(
        L"the library cannot tell which chip revision the image is for "
        L"(library status %d)",
        static_cast<int>(status));
    return MapStatusToExitCode(status);
  }
  *revision = info.bytes[7] >> 4;
  return 0;
}

int CheckSelectedRevision(RomJob& job, uint8_t revision) {
  uint8_t chip = job.session.devices.selected().chip_revision;
  if (revision == chip) return 0;
  platform::Print(L"This firmware revision is %x.\n", revision);
  platform::Print(L"This chip revision is %x.\n", chip);
  platform::Print(L"Revision is mismatch.\n");
  PrintRevisionMismatchReason(job.session, job.session.devices.open_address,
                              revision, chip);
  return -16;
}
