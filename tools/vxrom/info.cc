#include "vxrom/info.h"

#include <nlohmann/json.hpp>

#include "device/exit_codes.h"
#include "device/session.h"
#include "platform/text.h"
#include "vxrom/text.h"

namespace {

/// What a refusal of GetSromImageInfo means, in words.
const char* Meaning(LibraryStatus status) {
  switch (status) {
    case -51:
      return "blank";
    case -53:
      return "damaged: a checksum fails";
    case -54:
      return "not an image";
    default:
      return "refused by the library";
  }
}

}  // namespace

int InfoCommand(DeviceSession& session, const std::wstring& path,
                const std::vector<uint8_t>& image, bool json) {
  ImageInfo info = {};
  const uint32_t size = static_cast<uint32_t>(image.size());
  // An empty file is no image, and no question for the library.
  const bool empty = size == 0;
  LibraryStatus status =
      empty ? 0 : session.library->GetSromImageInfo(image.data(), size, &info);
  const bool valid = !empty && status == 0;
  const unsigned revision = info.bytes[7] >> 4u;
  const unsigned layout = info.bytes[7] & 0xFu;
  const std::string file = platform::Utf8FromWide(path);
  if (json) {
    nlohmann::ordered_json o;
    o["file"] = file;
    o["size"] = size;
    o["valid"] = valid;
    o["status"] = empty ? nlohmann::ordered_json() : nlohmann::ordered_json(status);
    o["revision"] = valid ? nlohmann::ordered_json(revision) : nullptr;
    o["layout"] = valid ? nlohmann::ordered_json(layout) : nullptr;
    WriteResult(o.dump(2, ' ', true) + "\n");
  } else if (valid) {
    WriteResult(file + ": image for chip revision " + std::to_string(revision) +
                ", layout " + std::to_string(layout) + ", " +
                std::to_string(size) + " bytes\n");
  } else if (empty) {
    WriteResult(file + ": empty, 0 bytes\n");
  } else {
    WriteResult(file + ": " + Meaning(status) + " (library status " +
                std::to_string(status) + "), " + std::to_string(size) +
                " bytes\n");
  }
  if (valid) return 0;
  if (empty) {
    VxromReasons().Reason(L"\"%ls\" is empty: no image", path.c_str());
    return kExitImage;
  }
  VxromReasons().Reason(L"\"%ls\" is no valid image (library status %d)",
                        path.c_str(), static_cast<int>(status));
  return MapStatusToExitCode(status);
}
