// /writeall: one image, written and verified on every controller whose
// chip revision matches the firmware, one after the other.
#include <string>

#include "device/rom_types.h"
#include "device/target.h"
#include "platform/platform.h"
#include "rom/actions.h"
#include "rom/image_source.h"
#include "rom/job.h"
#include "rom/progress.h"

namespace {

/// With auto-detection the image is built for this size and only ROMs of
/// exactly this size are written.
const uint32_t kAutoImageSize = 0x8000;

/// True when the controller's chip takes the image's firmware.
bool Matches(const DeviceRecord& record, uint8_t revision) {
  return revision == NO_REVISION || record.chip_revision == revision;
}

/// The controllers from index first on that the image is written to.
uint32_t CountMatches(const DeviceState& devices, uint32_t first,
                      uint8_t revision) {
  uint32_t count = 0;
  for (uint32_t i = first; i < devices.count; ++i)
    if (Matches(devices.list[i], revision)) ++count;
  return count;
}

/// Opens controller index with the geometry in use; with auto-detection
/// reads its ROM's geometry and adapts the shared image to it.
int OpenAndPrepare(RomJob& job, uint32_t index, uint8_t* image) {
  const PciAddress address = job.session.devices.list[index].address;
  const bool automatic = job.session.rom_type_selector == kRomTypeAuto;
  int result =
      OpenController(job.session, address, automatic ? nullptr : &job.session.geometry());
  if (result != 0) return result;
  job.session.devices.selected_index = static_cast<int32_t>(index);
  if (!automatic) return 0;
  if ((result = DetectRomGeometry(job.session, address)) != 0) return result;
  if (job.session.rom_types.rows[kRomTypeAuto].mem_size != kAutoImageSize) {
    platform::Print(L"SROM size error!\n");
    platform::PrintReason(
        L"%ls: the ROM holds %u bytes; /writeall with /srom 0 writes only "
        L"ROMs of %u bytes",
        FormatAddress(address).c_str(),
        static_cast<unsigned>(job.session.rom_types.rows[kRomTypeAuto].mem_size),
        static_cast<unsigned>(kAutoImageSize));
    return -15;
  }
  job.session.library->PatchSromImage(image, kAutoImageSize, 0, 0, nullptr,
                                      &job.session.rom_types.rows[kRomTypeAuto], nullptr, 4);
  return 0;
}

/// Opens, erases when asked and writes controller index.  @return 0 when
/// the write completed, else the code that stops the walk.
int WriteController(RomJob& job, uint32_t index, uint8_t* image,
                    uint32_t size) {
  int result = OpenAndPrepare(job, index, image);
  if (result != 0) return result;
  // The erase decision is this ROM's own: row 0 was just read from it.
  return EraseAndWrite(job, image, size);
}

/// What became of the controllers, for the closing line.
struct Tally {
  uint32_t verified = 0;     ///< Written and verified.
  uint32_t failed = 0;       ///< Taken up, and failed.
  uint32_t passed_over = 0;  ///< Of another chip revision.
  uint32_t untouched = 0;    ///< Left by a failure or a stop request.
};

/// One controller's result on stderr.
void PrintControllerResult(const DeviceRecord& record, const wchar_t* result) {
  platform::PrintReason(L"%ls (chip revision %u): %ls",
                        FormatAddress(record.address).c_str(),
                        static_cast<unsigned>(record.chip_revision), result);
}

/// The closing line with the counts, and the warning that one EUI-64 went
/// to several boards.
void PrintTally(const Tally& tally, const std::wstring& eui64_path) {
  std::wstring untouched;
  if (tally.untouched)
    untouched = L", " + std::to_wstring(tally.untouched) + L" left untouched";
  platform::PrintReason(
      L"/writeall: %u written and verified, %u failed, %u passed over%ls",
      static_cast<unsigned>(tally.verified),
      static_cast<unsigned>(tally.failed),
      static_cast<unsigned>(tally.passed_over), untouched.c_str());
  const uint32_t written = tally.verified + tally.failed;
  if (!eui64_path.empty() && written > 1) {
    platform::PrintReason(
        L"warning: the same EUI-64 from \"%ls\" went to all %u controllers "
        L"written; each board needs its own (write them one /address at a "
        L"time)",
        eui64_path.c_str(), static_cast<unsigned>(written));
  }
}

int WriteAllSteps(RomJob& job, RomBuffer& image) {
  DeviceState& devices = job.session.devices;
  int result = LoadDeviceList(job.session);
  if (result != 0) return result;
  if (devices.count == 0) {
    platform::Print(L"Device not found!\n");
    platform::PrintReason(L"no VX5130 or VX5130A controller found");
    return -6;
  }
  const bool automatic = job.session.rom_type_selector == kRomTypeAuto;
  const RomGeometry* geometry = automatic ? nullptr : &job.session.geometry();
  const uint32_t size = automatic ? kAutoImageSize : ImageSize(*geometry);
  if ((result = AllocateRomBuffer(size, &image)) != 0) return result;
  if ((result = UpdateImage(job, geometry, image.get())) != 0) return result;
  uint8_t revision = NO_REVISION;
  if ((result = ImageRevision(job, image.get(), size, &revision)) != 0)
    return result;
  Tally tally;
  // A board whose ROM failed verification must not pass as written: the
  // first such failure is the result, though the others are still written.
  int first_verify_failure = 0;
  PciAddress first_failed_address = 0xFFFF;
  for (uint32_t i = 0; i < devices.count; ++i) {
    const DeviceRecord& record = devices.list[i];
    if (!Matches(record, revision)) {
      std::wstring why = L"passed over: the firmware is for chip revision " +
                         std::to_wstring(revision);
      PrintControllerResult(record, why.c_str());
      ++tally.passed_over;
      continue;
    }
    PrintTargetLines(record);
    devices.open_address = record.address;
    const uint32_t left = CountMatches(devices, i + 1, revision);
    job.stop.text = L"stop requested: " +
                    FormatAddress(record.address) +
                    L" is finished first (erase, write and verify); " +
                    std::to_wstring(left) +
                    (left == 1 ? L" controller is" : L" controllers are") +
                    L" left untouched";
    if ((result = WriteController(job, i, image.get(), size)) != 0) {
      std::wstring why = L"failed (exit code " + std::to_wstring(result) +
                         L"); the controllers after it are not taken up";
      PrintControllerResult(record, why.c_str());
      ++tally.failed;
      tally.untouched = left;
      PrintTally(tally, job.eui64_path);
      return result;
    }
    int verified = VerifySrom(job, image.get(), size);
    if (verified == 0) {
      PrintControllerResult(record, L"written and verified");
      ++tally.verified;
    } else {
      std::wstring why = L"written, but verification failed (exit code " +
                         std::to_wstring(verified) + L")";
      PrintControllerResult(record, why.c_str());
      ++tally.failed;
      if (first_verify_failure == 0) {
        first_verify_failure = verified;
        first_failed_address = record.address;
      }
    }
    CloseTarget(job.session);
    // A stop held back during this controller: take up no further one.
    if (left > 0 && platform::StopRequested()) {
      NoticeStopRequest(&job.stop);
      tally.untouched = left;
      result = first_verify_failure != 0 ? first_verify_failure : -1;
      break;
    }
  }
  if (tally.verified + tally.failed == 0) {
    platform::Print(L"Device not found!\n");
    platform::PrintReason(
        L"no controller of chip revision %u, which the firmware is for",
        static_cast<unsigned>(revision));
    return -6;
  }
  PrintTally(tally, job.eui64_path);
  // The run log names the board that failed, not the last one taken up.
  if (first_verify_failure != 0) devices.open_address = first_failed_address;
  return result != 0 ? result : first_verify_failure;
}

}  // namespace

int WriteAllAction(RomJob& job) {
  RomBuffer image;
  int result = WriteAllSteps(job, image);
  CloseSelected(job.session);
  return result;
}
