#include "vxrom/restore.h"

#include <string.h>

#include <string>

#include "device/exit_codes.h"
#include "device/listing.h"
#include "device/rom_types.h"
#include "device/session.h"
#include "device/target.h"
#include "platform/files.h"
#include "platform/text.h"
#include "rom/actions.h"
#include "rom/job.h"
#include "vxrom/output.h"

using namespace device;
using namespace rom;

namespace {

/// The checks that keep a wrong file off the ROM: its size is the image
/// size of the ROM type in use, the library takes it for an image, and
/// (unless told otherwise) it is built for the chip's revision.
/// @return 0, -15 or -16.
ExitCode CheckImage(RomJob& job, const std::vector<uint8_t>& image) {
  DeviceSession& session = job.session;
  const std::wstring where =
      platform::WideFromUtf8(FormatPciAddress(session.devices.open_address, true));
  const uint32_t size = ImageSize(session.geometry());
  if (image.size() != size) {
    VxromReasons().Reason(
        L"%ls: \"%ls\" holds %u bytes, not the %u bytes of an image for "
        L"the ROM in use: the ROM is left untouched",
        where.c_str(), job.image_path.c_str(),
        static_cast<unsigned>(image.size()), static_cast<unsigned>(size));
    return kExitImage;
  }
  ImageInfo info = {};
  LibraryStatus status =
      session.library->GetSromImageInfo(image.data(), size, &info);
  if (status != 0) {
    VxromReasons().Reason(
        L"\"%ls\" is no image the library accepts (library status %d): the "
        L"ROM is left untouched",
        job.image_path.c_str(), static_cast<int>(status));
    return MapStatusToExitCode(status);
  }
  const uint8_t revision = ImageChipRevision(info);
  const uint8_t chip = session.devices.selected().chip_revision;
  if (session.check_revision && !RevisionMatches(revision, chip)) {
    VxromReasons().Reason(
        L"%ls: \"%ls\" is for chip revision %u, the controller's chip is "
        L"revision %u (--no-revision-check skips the check): the ROM is "
        L"left untouched",
        where.c_str(), job.image_path.c_str(), static_cast<unsigned>(revision),
        static_cast<unsigned>(chip));
    return kExitRevision;
  }
  return kExitOk;
}

/// The controller OpenTarget will choose; false when it will refuse.
bool ChosenTarget(const DeviceSession& session, PciAddress* address) {
  const DeviceState& devices = session.devices;
  if (session.has_target_address) {
    *address = session.target_address;
    return true;
  }
  if (devices.count != 1) return false;
  *address = devices.list[0].address;
  return true;
}

/// An image's EUI-64 goes only to its own board: refused when another
/// controller in the PC holds it, or when the target holds another valid
/// one.  A blank or damaged board takes it.  @return 0 or -15.
ExitCode CheckIdentity(RomJob& job, const std::vector<uint8_t>& image) {
  DeviceSession& session = job.session;
  ImageInfo info = {};
  const uint32_t size = static_cast<uint32_t>(image.size());
  // An image the library refuses is refused later, with its own reason.
  if (session.library->GetSromImageInfo(image.data(), size, &info) != 0)
    return kExitOk;
  const DeviceInfo carried = ImageInfoContents(info);
  if (!IsEui64Set(carried)) return kExitOk;
  PciAddress target = kNoAddress;
  if (LoadDeviceList(session) != 0 || !ChosenTarget(session, &target)) return kExitOk;
  const std::vector<PciAddress> all = session.devices.addresses();
  const std::wstring eui = platform::WideFromUtf8(FormatEui64(carried.eui64));
  // The board's own EUI-64 first: that is the likelier mistake.
  std::vector<ControllerReport> reports;
  for (PciAddress address : all) {
    reports.emplace_back();
    reports.back().address = address;
    SurveyController(session, &reports.back());
    if (address == target) std::swap(reports.front(), reports.back());
  }
  for (const ControllerReport& report : reports) {
    if (report.contents != RomContents::kImage || !IsEui64Set(report.info))
      continue;
    const PciAddress address = report.address;
    const bool same =
        memcmp(report.info.eui64, carried.eui64, sizeof carried.eui64) == 0;
    if (address != target && same) {
      VxromReasons().Reason(
          L"%ls: \"%ls\" carries EUI-64 %ls, which %ls holds: two boards "
          L"would share it (--clone-eui writes it all the same): the ROM is "
          L"left untouched",
          platform::WideFromUtf8(FormatPciAddress(target, true)).c_str(),
          job.image_path.c_str(), eui.c_str(),
          platform::WideFromUtf8(FormatPciAddress(address, true)).c_str());
      return kExitImage;
    }
    if (address == target && !same) {
      VxromReasons().Reason(
          L"%ls: \"%ls\" carries EUI-64 %ls, the board holds %ls: the image "
          L"is another board's (--clone-eui writes it all the same): the ROM "
          L"is left untouched",
          platform::WideFromUtf8(FormatPciAddress(target, true)).c_str(),
          job.image_path.c_str(), eui.c_str(),
          platform::WideFromUtf8(FormatEui64(report.info.eui64)).c_str());
      return kExitImage;
    }
  }
  return kExitOk;
}

ExitCode RestoreSteps(RomJob& job, std::vector<uint8_t>& image, bool clone_eui) {
  ExitCode result = kExitOk;
  if (!clone_eui && (result = CheckIdentity(job, image)) != 0) return result;
  // The target is chosen, checked and opened as vxsrom does it.
  result = OpenTarget(job.session, NO_REVISION);
  if (result != 0) return result;
  if ((result = CheckImage(job, image)) != 0) return result;
  const uint32_t size = static_cast<uint32_t>(image.size());
  // From the erase on, a request to stop waits for the verification.
  if ((result = EraseAndWrite(job, image.data(), size)) != 0) return result;
  return VerifySrom(job, image.data(), size);
}

}  // namespace

ExitCode ReadImageFile(const RomJob& job, size_t limit,
                       std::vector<uint8_t>* image) {
  std::wstring reason;
  if (!platform::ReadInputFile(job.image_path, limit, image, &reason)) {
    VxromReasons().Reason(L"cannot read the image file \"%ls\": %ls",
                          job.image_path.c_str(), reason.c_str());
    return kExitFile;
  }
  return kExitOk;
}

ExitCode RestoreCommand(RomJob& job, std::vector<uint8_t>& image, bool clone_eui) {
  SelectedControllerGuard guard(job.session);
  return RestoreSteps(job, image, clone_eui);
}
