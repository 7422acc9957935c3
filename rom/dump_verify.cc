// /dump saves the ROM to a file; /verify compares the ROM with the image
// that /write would put there.  Neither changes the ROM.
#include "app/context.h"
#include "device/target.h"
#include "platform/platform.h"
#include "rom/actions.h"
#include "rom/image_file.h"
#include "rom/image_source.h"
#include "rom/progress.h"

namespace {

int DumpSteps(Context& ctx, RomBuffer& buffer, platform::OutputFile& file) {
  int result = OpenTarget(ctx, NO_REVISION);
  if (result != 0) return result;
  const uint32_t size = ImageSize(ctx.geometry());
  if ((result = AllocateRomBuffer(size, &buffer)) != 0) return result;
  result = RunRomOperation(ctx, RomOperation::kDumpRead, size, buffer.get());
  if (result != 0) return result;
  platform::Print(L"\n");
  // The file is created only now, so a failed read leaves no trace of it.
  result = OpenImageFile(ctx.options.image_path,
                         L"Image file open error: %ls(wb) (%d)\n", &file);
  if (result != 0) return result;
  if ((result = FinishImageFile(&file, buffer.get(), size)) != 0) return result;
  platform::Print(L"Dump complete\n");
  return 0;
}

int VerifySteps(Context& ctx, RomBuffer& image) {
  const bool automatic = ctx.options.rom_type_selector == kRomTypeAuto;
  int result = 0;
  if (automatic && (result = OpenTarget(ctx, NO_REVISION)) != 0) return result;
  const uint32_t size = ImageSize(ctx.geometry());
  if ((result = AllocateRomBuffer(size, &image)) != 0) return result;
  if ((result = UpdateImage(ctx, &ctx.geometry(), image.get())) != 0)
    return result;
  uint8_t revision = NO_REVISION;
  if ((result = ImageRevision(ctx, image.get(), size, &revision)) != 0)
    return result;
  if (automatic) {
    if (revision != NO_REVISION &&
        (result = CheckSelectedRevision(ctx, revision)) != 0)
      return result;
  } else if ((result = OpenTarget(ctx, revision)) != 0) {
    return result;
  }
  return VerifySrom(ctx, image.get(), size);
}

}  // namespace

int DumpAction(Context& ctx) {
  RomBuffer buffer;
  platform::OutputFile file;
  int result = DumpSteps(ctx, buffer, file);
  CloseSelected(ctx);
  return result;
}

int VerifyAction(Context& ctx) {
  RomBuffer image;
  int result = VerifySteps(ctx, image);
  CloseSelected(ctx);
  return result;
}
