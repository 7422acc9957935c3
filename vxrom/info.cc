#include "vxrom/info.h"

#include <stdio.h>

#include <nlohmann/json.hpp>

#include "device/exit_codes.h"
#include "device/session.h"
#include "platform/text.h"
#include "vxrom/output.h"

using namespace device;

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

namespace {

/// What the library says of an image file.
struct ImageFacts {
  std::string file;
  uint32_t size = 0;
  bool empty = false, valid = false;
  LibraryStatus status = 0;
  unsigned revision = 0, layout = 0;
  DeviceInfo holds = {};
  std::string version, eui64;
};

/// A subsystem ID as every output of the line shows it.
std::string HexId(uint16_t value) {
  char digits[8];
  snprintf(digits, sizeof digits, "0x%04X", static_cast<unsigned>(value));
  return value ? std::string(digits) : std::string("none");
}

std::string InfoJson(const ImageFacts& f) {
  auto id = [&f](uint16_t value) {
    return f.valid && value ? nlohmann::ordered_json(HexId(value)) : nlohmann::ordered_json();
  };
  auto text = [&f](const std::string& value) {
    return f.valid && !value.empty() ? nlohmann::ordered_json(value) : nlohmann::ordered_json();
  };
  nlohmann::ordered_json o;
  o["file"] = f.file;
  o["size"] = f.size;
  o["valid"] = f.valid;
  o["status"] = f.empty ? nlohmann::ordered_json() : nlohmann::ordered_json(f.status);
  o["revision"] = f.valid ? nlohmann::ordered_json(f.revision) : nullptr;
  o["layout"] = f.valid ? nlohmann::ordered_json(f.layout) : nullptr;
  o["firmware_version"] = text(f.version);
  o["subsystem_vendor_id"] = id(f.holds.subsystem_vendor_id);
  o["subsystem_id"] = id(f.holds.subsystem_id);
  o["eui64"] = text(f.eui64);
  return o.dump(2, ' ', true) + "\n";
}

std::string InfoText(const ImageFacts& f) {
  if (f.empty) return f.file + ": empty, 0 bytes\n";
  if (!f.valid)
    return f.file + ": " + Meaning(f.status) + " (library status " + std::to_string(f.status) + "), " +
           std::to_string(f.size) + " bytes\n";
  return f.file + ": image for chip revision " + std::to_string(f.revision) + ", layout " +
         std::to_string(f.layout) + ", " + std::to_string(f.size) + " bytes\n" +
         "    firmware:  " + (f.version.empty() ? "none" : f.version) + "\n" +
         "    subsystem: vendor " + HexId(f.holds.subsystem_vendor_id) + ", device " +
         HexId(f.holds.subsystem_id) + "\n" + "    EUI-64:    " + (f.eui64.empty() ? "none" : f.eui64) + "\n";
}

}  // namespace

ExitCode InfoCommand(DeviceSession& session, const std::wstring& path,
                     const std::vector<uint8_t>& image, bool json) {
  ImageFacts f;
  ImageInfo info = {};
  f.file = platform::Utf8FromWide(path);
  f.size = static_cast<uint32_t>(image.size());
  // An empty file is no image, and no question for the library.
  f.empty = f.size == 0;
  f.status = f.empty ? 0 : session.library->GetSromImageInfo(image.data(), f.size, &info);
  f.valid = !f.empty && f.status == 0;
  f.revision = ImageChipRevision(info);
  f.layout = info.bytes[7] & 0xFu;
  f.holds = ImageInfoContents(info);
  f.version = FormatFirmwareVersion(f.holds);
  f.eui64 = IsEui64Set(f.holds) ? FormatEui64(f.holds.eui64) : "";
  WriteResult(json ? InfoJson(f) : InfoText(f));
  const bool valid = f.valid, empty = f.empty;
  const LibraryStatus status = f.status;
  if (valid) return kExitOk;
  if (empty) {
    VxromReasons().Reason(L"\"%ls\" is empty: no image", path.c_str());
    return kExitImage;
  }
  VxromReasons().Reason(L"\"%ls\" is no valid image (library status %d)",
                        path.c_str(), static_cast<int>(status));
  return MapStatusToExitCode(status);
}
