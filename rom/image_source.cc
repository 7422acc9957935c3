#include "rom/image_source.h"

#include <new>

#include "app/context.h"
#include "app/exit_codes.h"
#include "device/target.h"
#include "platform/platform.h"

int AllocateRomBuffer(uint32_t size, RomBuffer* buffer) {
  buffer->reset(new (std::nothrow) uint8_t[size]);
  if (!*buffer) {
    platform::Print(L"Memory allocate error = %d\n", static_cast<int>(size));
    return -2;
  }
  return 0;
}

const wchar_t* OptionalPath(const std::wstring& path) {
  return path.empty() ? nullptr : path.c_str();
}

int UpdateImage(Context& ctx, const RomGeometry* geometry, uint8_t* image) {
  const CommandLine& options = ctx.options;
  LibraryStatus status = ctx.library->UpdateSromImage(
      options.firmware_path.c_str(), OptionalPath(options.config_path),
      OptionalPath(options.eui64_path), geometry, image);
  if (status != 0) {
    platform::Print(L"Update SROM Image error (%d)\n", static_cast<int>(status));
    return MapStatusToExitCode(status);
  }
  return 0;
}

int ImageRevision(Context& ctx, const uint8_t* image, uint32_t size,
                  uint8_t* revision) {
  if (ctx.options.has(OPT_NOREV)) {
    *revision = NO_REVISION;
    return 0;
  }
  ImageInfo info = {};
  LibraryStatus status = ctx.library->GetSromImageInfo(image, size, &info);
  if (status != 0) {
    platform::Print(L"Get SROM Image Info error (%d)\n",
                    static_cast<int>(status));
    return MapStatusToExitCode(status);
  }
  *revision = info.bytes[7] >> 4;
  return 0;
}

int CheckSelectedRevision(Context& ctx, uint8_t revision) {
  uint8_t chip = ctx.devices.list[ctx.devices.selected_index].chip_revision;
  if (revision == chip) return 0;
  platform::Print(L"This firmware revision is %x.\n", revision);
  platform::Print(L"This chip revision is %x.\n", chip);
  platform::Print(L"Revision is mismatch.\n");
  return -16;
}
