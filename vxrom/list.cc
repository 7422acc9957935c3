#include "vxrom/list.h"

#include <stdio.h>
#include <string.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "device/exit_codes.h"
#include "device/listing.h"
#include "device/rom_types.h"
#include "device/session.h"
#include "device/target.h"
#include "platform/text.h"
#include "store/store.h"
#include "vxrom/output.h"

using namespace device;
using namespace store;
using namespace line;

namespace {

/// value in hexadecimal, at least digits digits, without "0x".
std::string Hex(unsigned value, int digits) {
  char text[16];
  snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

/// "what (library status N)".
std::string StatusText(const char* what, LibraryStatus status) {
  return std::string(what) + " (library status " + std::to_string(status) +
         ")";
}

/// The chip's model; empty for another revision.
std::string Model(uint8_t chip_revision) {
  if (chip_revision == kChipVx5130) return "VX5130";
  if (chip_revision == kChipVx5130A) return "VX5130A";
  return "";
}

/// The EUI-64 in display order; empty when unset.
std::string Eui64(const DeviceInfo& info) {
  return IsEui64Set(info) ? FormatEui64(info.eui64) : std::string();
}

/// What the ROM holds, in the words of the listing; "" when unread.
const char* ContentsText(RomContents contents) {
  switch (contents) {
    case RomContents::kImage:
      return "image";
    case RomContents::kBlank:
      return "blank";
    case RomContents::kNoImage:
      return "no image";
    case RomContents::kDamaged:
      return "damaged image";
    default:
      return "";
  }
}

/// Why the ROM could not be read; empty when it was.
std::string ErrorText(const ControllerReport& r) {
  switch (r.failure) {
    case ListingFailure::kOpen:
      return StatusText("cannot open the controller", r.status);
    case ListingFailure::kNoBytes:
      return "the library reports a ROM of 0 bytes";
    case ListingFailure::kUnsupported:
      return StatusText("the serial ROM part is not supported", r.status);
    case ListingFailure::kGeometry:
      return StatusText("cannot read the serial ROM's geometry", r.status);
    case ListingFailure::kInfo:
      return StatusText("cannot read what the ROM holds", r.status);
    default:
      return "";
  }
}

bool HoldsImage(const ControllerReport& r) {
  return r.contents == RomContents::kImage;
}

/// A string, or null when empty.
nlohmann::ordered_json StringOrNull(const std::string& text) {
  return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

/// A number, or null when absent.
nlohmann::ordered_json NumberOrNull(bool present, unsigned value) {
  return present ? nlohmann::ordered_json(value) : nlohmann::ordered_json();
}

/// The JSON object of one controller: the field names are documented in
/// docs/guide.md, and scripts rely on them.
nlohmann::ordered_json ToJson(const ControllerReport& r) {
  const bool image = HoldsImage(r);
  nlohmann::ordered_json o;
  o["address"] = FormatPciAddress(r.address);
  o["chip_revision"] = r.chip_revision;
  o["model"] = StringOrNull(Model(r.chip_revision));
  o["mem_size"] = NumberOrNull(r.has_geometry, r.geometry.mem_size);
  o["page_size"] = NumberOrNull(r.has_geometry, r.geometry.page_size);
  o["dev_code"] = NumberOrNull(r.has_geometry, r.geometry.dev_code);
  o["rom_type"] = NumberOrNull(r.rom_type != 0, static_cast<unsigned>(r.rom_type));
  o["contents"] = StringOrNull(ContentsText(r.contents));
  o["firmware_version"] = StringOrNull(image ? FormatFirmwareVersion(r.info) : "");
  o["subsystem_vendor_id"] =
      StringOrNull(image && r.info.subsystem_vendor_id ? "0x" + Hex(r.info.subsystem_vendor_id, 4) : "");
  o["subsystem_id"] = StringOrNull(image && r.info.subsystem_id ? "0x" + Hex(r.info.subsystem_id, 4) : "");
  o["eui64"] = StringOrNull(image ? Eui64(r.info) : "");
  o["error"] = StringOrNull(ErrorText(r));
  return o;
}

std::string OrNone(const std::string& text) {
  return text.empty() ? "none" : text;
}

/// The lines of one controller for people.
std::string ToText(const ControllerReport& r) {
  std::string model = Model(r.chip_revision);
  std::string text = FormatPciAddress(r.address) + "  ";
  const std::string error = ErrorText(r);
  text += model.empty() ? "chip revision " + std::to_string(r.chip_revision) +
                              ": not supported, ROM not read\n"
                        : model + " (chip revision " +
                              std::to_string(r.chip_revision) + ")\n";
  if (model.empty()) return text;
  if (!r.has_geometry) return text + "    ROM:       " + error + "\n";
  text += "    ROM:       " +
          (r.rom_type ? "type " + std::to_string(r.rom_type)
                      : std::string("of no listed type")) +
          ", " + std::to_string(r.geometry.mem_size) + " bytes, page 0x" +
          Hex(r.geometry.page_size, 1) + ", device code 0x" +
          Hex(r.geometry.dev_code, 4) + "\n";
  if (!error.empty()) return text + "    contents:  " + error + "\n";
  text += "    contents:  " + std::string(ContentsText(r.contents)) + "\n";
  if (!HoldsImage(r)) return text;
  text += "    firmware:  " + OrNone(FormatFirmwareVersion(r.info)) + "\n";
  text += "    subsystem: vendor " +
          OrNone(r.info.subsystem_vendor_id
                     ? "0x" + Hex(r.info.subsystem_vendor_id, 4)
                     : "") +
          ", device " +
          OrNone(r.info.subsystem_id ? "0x" + Hex(r.info.subsystem_id, 4)
                                     : "") +
          "\n";
  text += "    EUI-64:    " + OrNone(Eui64(r.info)) + "\n";
  return text;
}

/// What the store says of the number a board's ROM holds.
struct NumberFacts {
  std::optional<std::string> state;    ///< Its state in the pool; none outside it.
  std::optional<HistoryRecord> owner;  ///< The attempt it is programmed by.
};

/// A word on a board's number that the store finds wrong; empty when
/// nothing is.
std::string Warning(const ControllerReport& r, const NumberFacts& facts) {
  if (!facts.state) return "";
  if (*facts.state == "spoiled") return "spoiled in the pool: this board needs a rework";
  if (*facts.state != "programmed") return *facts.state + " in the pool, never recorded as programmed";
  if (facts.owner && facts.owner->address != FormatPciAddress(r.address))
    return "programmed for serial " + facts.owner->serial.value_or("(none)") + " at " +
           facts.owner->address + " of station " + facts.owner->station + ": another board's?";
  return "";
}

/// The store's facts of each board's number.
std::vector<NumberFacts> AskStore(Store* store, const std::vector<ControllerReport>& reports) {
  std::vector<NumberFacts> facts(reports.size());
  for (size_t i = 0; store && i < reports.size(); ++i) {
    uint64_t number = 0;
    std::string reason;
    if (!HoldsImage(reports[i]) || !ParseEui64(Eui64(reports[i].info), &number)) continue;
    if (store->NumberState(number, &facts[i].state, &reason) != StoreStatus::kOk ||
        store->ProgrammedNumber(number, &facts[i].owner, &reason) != StoreStatus::kOk)
      VxromReasons().Reason(L"the database: %ls", platform::WideFromUtf8(reason).c_str());
  }
  return facts;
}

}  // namespace

namespace {

/// Surveys every controller, each of a supported chip; says why one
/// could not be read.  @return false when one could not.
bool SurveyAll(DeviceSession& session, std::vector<ControllerReport>* reports) {
  bool ok = true;
  for (uint32_t i = 0; i < session.devices.count; ++i) {
    ControllerReport report;
    report.address = session.devices.list[i].address;
    report.chip_revision = session.devices.list[i].chip_revision;
    if (IsSupportedChip(report.chip_revision)) {
      SurveyController(session, &report);
      const std::string error = ErrorText(report);
      if (!error.empty()) {
        VxromReasons().Reason(
            L"%ls: %ls", platform::WideFromUtf8(FormatPciAddress(report.address, true)).c_str(),
            platform::WideFromUtf8(error).c_str());
        ok = false;
      }
    }
    reports->push_back(report);
  }
  return ok;
}

/// Which boards share their EUI-64 with another (an EUI-64 must be
/// unique: each such pair is named).
std::vector<bool> SharedNumbers(const std::vector<ControllerReport>& reports) {
  std::vector<bool> shared(reports.size(), false);
  for (size_t i = 0; i < reports.size(); ++i) {
    const std::string mine = Eui64(reports[i].info);
    if (!HoldsImage(reports[i]) || mine.empty()) continue;
    for (size_t j = i + 1; j < reports.size(); ++j) {
      if (!HoldsImage(reports[j]) || Eui64(reports[j].info) != mine) continue;
      if (!shared[j]) {
        VxromReasons().Reason(
            L"warning: %ls and %ls hold the same EUI-64 %ls: each board needs "
            L"its own",
            platform::WideFromUtf8(FormatPciAddress(reports[i].address, true)).c_str(),
            platform::WideFromUtf8(FormatPciAddress(reports[j].address, true)).c_str(),
            platform::WideFromUtf8(mine).c_str());
      }
      shared[i] = shared[j] = true;
    }
  }
  return shared;
}

/// The listing as one JSON document.
std::string ListingJson(const std::vector<ControllerReport>& reports, const std::vector<bool>& shared,
                        const std::vector<NumberFacts>& facts, bool with_store) {
  nlohmann::ordered_json document = nlohmann::ordered_json::array();
  for (size_t i = 0; i < reports.size(); ++i) {
    nlohmann::ordered_json o = ToJson(reports[i]);
    o["eui64_shared"] = static_cast<bool>(shared[i]);
    if (with_store) {
      o["eui64_state"] = facts[i].state ? nlohmann::ordered_json(*facts[i].state) : nullptr;
      o["eui64_serial"] = facts[i].owner && facts[i].owner->serial
                              ? nlohmann::ordered_json(*facts[i].owner->serial)
                              : nullptr;
      o["eui64_warning"] = StringOrNull(Warning(reports[i], facts[i]));
    }
    document.push_back(o);
  }
  return document.dump(2, ' ', true) + "\n";
}

}  // namespace

ExitCode ListCommand(DeviceSession& session, bool json, Store* store) {
  ExitCode result = LoadDeviceList(session);
  if (result != 0) return result;
  if (session.devices.count == 0) {
    // An empty array keeps a script's JSON reader content; the exit code
    // says, as vxsrom's does, that there was nothing to list.
    if (json) WriteResult("[]\n");
    VxromReasons().Reason(L"no VX5130 or VX5130A controller found");
    return kExitNoController;
  }
  std::vector<ControllerReport> reports;
  const bool surveyed = SurveyAll(session, &reports);
  const std::vector<bool> shared = SharedNumbers(reports);
  const std::vector<NumberFacts> facts = AskStore(store, reports);
  std::string text;
  for (size_t i = 0; i < reports.size(); ++i) {
    const std::string warning = Warning(reports[i], facts[i]);
    std::string lines = ToText(reports[i]);
    if (!warning.empty()) {
      VxromReasons().Reason(L"warning: %ls: EUI-64 %ls is %ls",
                            platform::WideFromUtf8(FormatPciAddress(reports[i].address, true)).c_str(),
                            platform::WideFromUtf8(Eui64(reports[i].info)).c_str(),
                            platform::WideFromUtf8(warning).c_str());
      lines.insert(lines.size() - 1, "  (" + warning + ")");
    }
    text += lines;
  }
  WriteResult(json ? ListingJson(reports, shared, facts, store != nullptr) : text);
  return surveyed ? kExitOk : kExitFailed;
}
