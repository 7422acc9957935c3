#include "vxrom/info.h"

#include <stdio.h>

#include <nlohmann/json.hpp>

#include "device/exit_codes.h"
#include "device/session.h"
#include "platform/text.h"
#include "vxrom/output.h"

namespace {

/// What a refusal of GetSromImageInfo means, in words.
const char* Meaning(LibraryStatus status) {
  switch (status) {
    case kStatusBlank:
      return "blank";
    case kStatusChecksum:
      return "damaged: a checksum fails";
    case kStatusBadImage:
      return "not an image";
    default:
      return "refused by the library";
  }
}

}  // namespace

ExitCode InfoCommand(DeviceSession& session, const std::wstring& path,
                     const std::vector<uint8_t>& image, bool json) {
  ImageInfo info = {};
  const uint32_t size = static_cast<uint32_t>(image.size());
  // An empty file is no image, and no question for the library.
  const bool empty = size == 0;
  LibraryStatus status =
      empty ? 0 : session.library->GetSromImageInfo(image.data(), size, &info);
  const bool valid = !empty && status == 0;
  const unsigned revision = ImageChipRevision(info);
  const unsigned layout = info.bytes[7] & 0xFu;
  const DeviceInfo holds = ImageInfoContents(info);
  const std::string version = FormatFirmwareVersion(holds);
  const std::string eui64 = IsEui64Set(holds) ? FormatEui64(holds.eui64) : "";
  auto hex = [](uint16_t value) {
    char digits[8];
    snprintf(digits, sizeof digits, "0x%04X", static_cast<unsigned>(value));
    return value ? std::string(digits) : std::string("none");
  };
  // Subsystem IDs in hexadecimal, as every output of the line shows them.
  auto id = [valid, hex](uint16_t value) {
    return valid && value ? nlohmann::ordered_json(hex(value)) : nlohmann::ordered_json();
  };
  auto text = [valid](const std::string& value) {
    return valid && !value.empty() ? nlohmann::ordered_json(value)
                                   : nlohmann::ordered_json();
  };
  const std::string file = platform::Utf8FromWide(path);
  if (json) {
    nlohmann::ordered_json o;
    o["file"] = file;
    o["size"] = size;
    o["valid"] = valid;
    o["status"] = empty ? nlohmann::ordered_json() : nlohmann::ordered_json(status);
    o["revision"] = valid ? nlohmann::ordered_json(revision) : nullptr;
    o["layout"] = valid ? nlohmann::ordered_json(layout) : nullptr;
    o["firmware_version"] = text(version);
    o["subsystem_vendor_id"] = id(holds.subsystem_vendor_id);
    o["subsystem_id"] = id(holds.subsystem_id);
    o["eui64"] = text(eui64);
    WriteResult(o.dump(2, ' ', true) + "\n");
  } else if (valid) {
    WriteResult(file + ": image for chip revision " + std::to_string(revision) +
                ", layout " + std::to_string(layout) + ", " +
                std::to_string(size) + " bytes\n" +
                "    firmware:  " + (version.empty() ? "none" : version) + "\n" +
                "    subsystem: vendor " + hex(holds.subsystem_vendor_id) +
                ", device " + hex(holds.subsystem_id) + "\n" +
                "    EUI-64:    " + (eui64.empty() ? "none" : eui64) + "\n");
  } else if (empty) {
    WriteResult(file + ": empty, 0 bytes\n");
  } else {
    WriteResult(file + ": " + Meaning(status) + " (library status " +
                std::to_string(status) + "), " + std::to_string(size) +
                " bytes\n");
  }
  if (valid) return kExitOk;
  if (empty) {
    VxromReasons().Reason(L"\"%ls\" is empty: no image", path.c_str());
    return kExitImage;
  }
  VxromReasons().Reason(L"\"%ls\" is no valid image (library status %d)",
                        path.c_str(), static_cast<int>(status));
  return MapStatusToExitCode(status);
}
