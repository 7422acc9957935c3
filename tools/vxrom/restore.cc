#include "vxrom/restore.h"

#include <string>

#include "device/exit_codes.h"
#include "device/rom_types.h"
#include "device/target.h"
#include "platform/platform.h"
#include "rom/actions.h"
#include "rom/job.h"

namespace {

const uint8_t kVx5130 = 3;
const uint8_t kVx5130A = 4;

/// Every enumerated controller's address, comma-separated.
std::wstring AddressList(const DeviceState& devices) {
  std::wstring list;
  for (uint32_t i = 0; i < devices.count; ++i)
    list += (i ? L", " : L"") + FormatAddress(devices.list[i].address);
  return list;
}

/// Chooses the target as vxsrom does (the one controller, or the one
/// --address names), checks its chip and opens it with the geometry in
/// use, detecting the ROM in auto mode.  On success the controller is
/// the session's selected and open one, as the rom/ routines expect.
/// @return 0, -1, -2, -6, -16 or -17.
int OpenRestoreTarget(DeviceSession& session) {
  DeviceState& devices = session.devices;
  int result = LoadDeviceList(session);
  if (result != 0) return result;
  if (devices.count == 0) {
    platform::PrintReason(L"no VX5130 or VX5130A controller found");
    return -6;
  }
  int32_t chosen = -1;
  if (session.has_target_address) {
    for (uint32_t i = 0; i < devices.count; ++i) {
      if (devices.list[i].address == session.target_address)
        chosen = static_cast<int32_t>(i);
    }
    if (chosen < 0) {
      platform::PrintReason(L"--address %ls: no such controller; present: %ls",
                            FormatAddress(session.target_address).c_str(),
                            AddressList(devices).c_str());
      return -6;
    }
  } else if (devices.count != 1) {
    platform::PrintReason(
        L"%u controllers found (%ls): choose one with --address, e.g. "
        L"--address %ls",
        static_cast<unsigned>(devices.count), AddressList(devices).c_str(),
        FormatAddress(devices.list[0].address).c_str());
    return -6;
  } else {
    chosen = 0;
  }
  const DeviceRecord& target = devices.list[static_cast<uint32_t>(chosen)];
  const PciAddress address = target.address;
  if (session.check_revision && target.chip_revision != kVx5130 &&
      target.chip_revision != kVx5130A) {
    platform::PrintReason(
        L"%ls: chip revision %d is not supported: this tool is for "
        L"revisions 3 and 4 (--no-revision-check skips the check)",
        FormatAddress(address).c_str(), target.chip_revision);
    return -16;
  }
  PrintTargetLines(target);
  // The run log names the controller from here on, opened or not.
  devices.open_address = address;
  const bool automatic = session.rom_type_selector == kRomTypeAuto;
  result =
      OpenController(session, address, automatic ? nullptr : &session.geometry());
  if (result != 0) return result;
  devices.selected_index = chosen;
  if (automatic && (result = DetectRomGeometry(session, address)) != 0)
    CloseTarget(session);
  return result;
}

/// The checks that keep a wrong file off the ROM: its size is the image
/// size of the ROM type in use, the library takes it for an image, and
/// (unless told otherwise) it is built for the chip's revision.
/// @return 0, -15 or -16.
int CheckImage(RomJob& job, const std::vector<uint8_t>& image) {
  DeviceSession& session = job.session;
  const std::wstring where = FormatAddress(session.devices.open_address);
  const uint32_t size = ImageSize(session.geometry());
  if (image.size() != size) {
    platform::PrintReason(
        L"%ls: \"%ls\" holds %u bytes, not the %u bytes of an image for "
        L"the ROM in use: the ROM is left untouched",
        where.c_str(), job.image_path.c_str(),
        static_cast<unsigned>(image.size()), static_cast<unsigned>(size));
    return -15;
  }
  ImageInfo info = {};
  LibraryStatus status =
      session.library->GetSromImageInfo(image.data(), size, &info);
  if (status != 0) {
    platform::PrintReason(
        L"\"%ls\" is no image the library accepts (library status %d): the "
        L"ROM is left untouched",
        job.image_path.c_str(), static_cast<int>(status));
    return MapStatusToExitCode(status);
  }
  const uint8_t revision = static_cast<uint8_t>(info.bytes[7] >> 4);
  const uint8_t chip = session.devices.selected().chip_revision;
  if (job.check_revision && revision != chip) {
    platform::PrintReason(
        L"%ls: \"%ls\" is for chip revision %u, the controller's chip is "
        L"revision %u (--no-revision-check skips the check): the ROM is "
        L"left untouched",
        where.c_str(), job.image_path.c_str(), static_cast<unsigned>(revision),
        static_cast<unsigned>(chip));
    return -16;
  }
  return 0;
}

int RestoreSteps(RomJob& job, std::vector<uint8_t>& image) {
  int result = OpenRestoreTarget(job.session);
  if (result != 0) return result;
  if ((result = CheckImage(job, image)) != 0) return result;
  const uint32_t size = static_cast<uint32_t>(image.size());
  // From the erase on, a request to stop waits for the verification.
  if ((result = EraseAndWrite(job, image.data(), size)) != 0) return result;
  return VerifySrom(job, image.data(), size);
}

}  // namespace

int ReadImageFile(const RomJob& job, size_t limit,
                  std::vector<uint8_t>* image) {
  std::wstring reason;
  if (!platform::ReadInputFile(job.image_path, limit, image, &reason)) {
    platform::PrintReason(L"cannot read the image file \"%ls\": %ls",
                          job.image_path.c_str(), reason.c_str());
    return -12;
  }
  return 0;
}

int RestoreCommand(RomJob& job, std::vector<uint8_t>& image) {
  int result = RestoreSteps(job, image);
  CloseSelected(job.session);
  return result;
}
