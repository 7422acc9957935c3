// /write: build the image, check the firmware against the chip, erase when
// the ROM type asks for it, write and verify; or with /fout, store the
// image in a file instead.
#include "app/context.h"
#include "device/target.h"
#include "platform/platform.h"
#include "rom/actions.h"
#include "rom/image_file.h"
#include "rom/image_source.h"
#include "rom/progress.h"

namespace {

/// What the action holds until its end step.
struct WriteResources {
  RomBuffer image;
  platform::OutputFile file;
};

/// /fout: the image goes to ImagePath instead of a ROM.
int WriteImageFile(Context& ctx, WriteResources& held, uint32_t size) {
  int result = OpenImageFile(ctx.options.image_path,
                             L"Output file open error: %ls(wb) (%d)\n",
                             &held.file);
  if (result != 0) return result;
  platform::Print(L"Write output file....  0%%");
  platform::Flush();
  result = FinishImageFile(&held.file, held.image.get(), size);
  if (result != 0) return result;
  platform::Print(L"\rWrite output file....  100%% ");
  platform::Print(L"\nWrite complete\n");
  return 0;
}

/// Erase when asked, write, then always verify, on the open target.
int WriteRom(Context& ctx, uint8_t* image, uint32_t size) {
  int result = EraseAndWrite(ctx, image, size);
  if (result != 0) return result;
  return VerifySrom(ctx, image, size);
}

int WriteSteps(Context& ctx, WriteResources& held) {
  // Auto-detection must read the geometry before the image can be sized;
  // a listed type builds (and reports a bad firmware file) first.
  const bool automatic = ctx.options.rom_type_selector == kRomTypeAuto;
  int result = 0;
  if (automatic && (result = OpenTarget(ctx, NO_REVISION)) != 0) return result;
  const uint32_t size = ImageSize(ctx.geometry());
  if ((result = AllocateRomBuffer(size, &held.image)) != 0) return result;
  if ((result = UpdateImage(ctx, &ctx.geometry(), held.image.get())) != 0)
    return result;
  uint8_t revision = NO_REVISION;
  result = ImageRevision(ctx, held.image.get(), size, &revision);
  if (result != 0) return result;
  if (automatic && revision != NO_REVISION &&
      (result = CheckSelectedRevision(ctx, revision)) != 0)
    return result;
  if (ctx.options.has(OPT_FOUT)) return WriteImageFile(ctx, held, size);
  if (!automatic && (result = OpenTarget(ctx, revision)) != 0) return result;
  return WriteRom(ctx, held.image.get(), size);
}

}  // namespace

int EraseAndWrite(Context& ctx, uint8_t* image, uint32_t size) {
  if (!ctx.options.has(OPT_NOERASE) &&
      (ctx.geometry().dev_code & kEraseBeforeWrite) != 0) {
    int result = EraseSrom(ctx, ctx.options.flags & kWriteActionMask);
    if (result != 0) return result;
  }
  int result = RunRomOperation(ctx, RomOperation::kWrite, size, image);
  if (result != 0) return result;
  platform::Print(L"\nWrite complete\n");
  return 0;
}

int WriteAction(Context& ctx) {
  WriteResources held;
  int result = WriteSteps(ctx, held);
  CloseSelected(ctx);
  return result;
}
