#include "vxrom/list.h"

#include <stdio.h>
#include <string.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "device/rom_types.h"
#include "device/session.h"
#include "device/target.h"
#include "platform/platform.h"
#include "vxrom/text.h"

namespace {

/// What the listing found of one controller.
struct ControllerReport {
  PciAddress address = 0;
  uint8_t chip_revision = 0;
  bool has_geometry = false;  ///< The ROM's geometry was read.
  RomGeometry geometry = {};
  int rom_type = 0;           ///< Row 1 to 4 it equals; 0 for none.
  const char* contents = "";  ///< What the ROM holds; "" when unread.
  DeviceInfo info = {};       ///< Valid when contents is "image".
  std::string error;          ///< Why the ROM could not be read.
};

/// value in hexadecimal, at least digits digits, without "0x".
std::string Hex(unsigned value, int digits) {
  char text[16];
  snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

std::string AddressText(PciAddress address) {
  return Hex(address >> 8u, 2) + ":" + Hex((address >> 3u) & 0x1Fu, 2) + "." +
         Hex(address & 7u, 1);
}

/// "what (library status N)".
std::string StatusText(const char* what, LibraryStatus status) {
  return std::string(what) + " (library status " + std::to_string(status) +
         ")";
}

/// The chip's model; empty for another revision.
std::string Model(uint8_t chip_revision) {
  if (chip_revision == 3) return "VX5130";
  if (chip_revision == 4) return "VX5130A";
  return "";
}

/// The firmware version as vxsrom's listing writes it; empty for none.
std::string FirmwareVersion(const DeviceInfo& info) {
  const uint8_t* v = info.firmware_version;  // V4..V7
  if (!v[0] && !v[1] && !v[2] && !v[3]) return "";
  char text[64];
  snprintf(text, sizeof text, "%X.%X.%X.%X-%X.%X", v[3] >> 4u, v[3] & 0xFu,
           v[2] >> 4u, v[2] & 0xFu, static_cast<unsigned>(v[1]),
           static_cast<unsigned>(v[0]));
  return text;
}

/// The EUI-64 in display order; empty when unset (all 00 or all FF).
std::string Eui64(const DeviceInfo& info) {
  const uint8_t* e = info.eui64;
  bool all_zero = true, all_ones = true;
  std::string text;
  for (int i = 0; i < 8; ++i) {
    all_zero = all_zero && e[i] == 0x00;
    all_ones = all_ones && e[i] == 0xFF;
    text += (i ? "-" : "") + Hex(e[i], 2);
  }
  return all_zero || all_ones ? "" : text;
}

/// Notes why the ROM could not be read, on stderr and in the report.
void Fail(ControllerReport* report, const std::string& why) {
  report->error = why;
  platform::PrintReason(L"%ls: %ls",
                        WideFromUtf8(AddressText(report->address)).c_str(),
                        WideFromUtf8(why).c_str());
}

/// Opens the controller as auto-detection does, reads its ROM's geometry
/// and what the ROM holds, and closes it.
void ReadRom(DeviceSession& session, ControllerReport* report) {
  const ControllerLibrary& lib = *session.library;
  const PciAddress address = report->address;
  LibraryStatus status = lib.OpenDevice(address, 2, nullptr);
  if (status != 0) {
    Fail(report, StatusText("cannot open the controller", status));
    return;
  }
  status = lib.GetSromInfo(address, &report->geometry);
  if (status == 0 && report->geometry.mem_size == 0) {
    // A ROM of no bytes can be neither written nor read.
    Fail(report, "the library reports a ROM of 0 bytes");
  } else if (status == -55) {
    Fail(report, StatusText("the serial ROM part is not supported", status));
  } else if (status != 0) {
    Fail(report, StatusText("cannot read the serial ROM's geometry", status));
  } else {
    report->has_geometry = true;
    for (int row = 1; row <= 4; ++row) {
      if (memcmp(&report->geometry, &session.rom_types.rows[row],
                 sizeof report->geometry) == 0)
        report->rom_type = row;
    }
    status = lib.GetDeviceInfo(address, &report->info);
    if (status == 0) {
      report->contents = "image";
    } else if (status == -51) {
      report->contents = "blank";
    } else if (status == -52) {
      report->contents = "no image";
    } else if (status == -53) {
      report->contents = "damaged image";
    } else {
      Fail(report, StatusText("cannot read what the ROM holds", status));
    }
  }
  if (!report->has_geometry) report->geometry = RomGeometry();
  lib.CloseDevice(address);
}

bool HoldsImage(const ControllerReport& r) {
  return strcmp(r.contents, "image") == 0;
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
  o["address"] = AddressText(r.address);
  o["chip_revision"] = r.chip_revision;
  o["model"] = StringOrNull(Model(r.chip_revision));
  o["mem_size"] = NumberOrNull(r.has_geometry, r.geometry.mem_size);
  o["page_size"] = NumberOrNull(r.has_geometry, r.geometry.page_size);
  o["dev_code"] = NumberOrNull(r.has_geometry, r.geometry.dev_code);
  o["rom_type"] = NumberOrNull(r.rom_type != 0, static_cast<unsigned>(r.rom_type));
  o["contents"] = StringOrNull(r.contents);
  o["firmware_version"] = StringOrNull(image ? FirmwareVersion(r.info) : "");
  o["subsystem_vendor_id"] =
      NumberOrNull(image && r.info.subsystem_vendor_id != 0,
                   r.info.subsystem_vendor_id);
  o["subsystem_id"] =
      NumberOrNull(image && r.info.subsystem_id != 0, r.info.subsystem_id);
  o["eui64"] = StringOrNull(image ? Eui64(r.info) : "");
  o["error"] = StringOrNull(r.error);
  return o;
}

std::string OrNone(const std::string& text) {
  return text.empty() ? "none" : text;
}

/// The lines of one controller for people.
std::string ToText(const ControllerReport& r) {
  std::string model = Model(r.chip_revision);
  std::string text = AddressText(r.address) + "  ";
  text += model.empty() ? "chip revision " + std::to_string(r.chip_revision) +
                              ": not supported, ROM not read\n"
                        : model + " (chip revision " +
                              std::to_string(r.chip_revision) + ")\n";
  if (model.empty()) return text;
  if (!r.has_geometry) return text + "    ROM:       " + r.error + "\n";
  text += "    ROM:       " +
          (r.rom_type ? "type " + std::to_string(r.rom_type)
                      : std::string("of no listed type")) +
          ", " + std::to_string(r.geometry.mem_size) + " bytes, page 0x" +
          Hex(r.geometry.page_size, 1) + ", device code 0x" +
          Hex(r.geometry.dev_code, 4) + "\n";
  if (!r.error.empty()) return text + "    contents:  " + r.error + "\n";
  text += "    contents:  " + std::string(r.contents) + "\n";
  if (!HoldsImage(r)) return text;
  text += "    firmware:  " + OrNone(FirmwareVersion(r.info)) + "\n";
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

}  // namespace

int ListCommand(DeviceSession& session, bool json) {
  int result = LoadDeviceList(session);
  if (result != 0) return result;
  if (session.devices.count == 0) {
    // An empty array keeps a script's JSON reader content; the exit code
    // says, as vxsrom's does, that there was nothing to list.
    if (json) WriteResult("[]\n");
    platform::PrintReason(L"no VX5130 or VX5130A controller found");
    return -6;
  }
  std::vector<ControllerReport> reports;
  bool failed = false;
  for (uint32_t i = 0; i < session.devices.count; ++i) {
    ControllerReport report;
    report.address = session.devices.list[i].address;
    report.chip_revision = session.devices.list[i].chip_revision;
    if (!Model(report.chip_revision).empty()) ReadRom(session, &report);
    failed = failed || !report.error.empty();
    reports.push_back(report);
  }
  if (json) {
    nlohmann::ordered_json document = nlohmann::ordered_json::array();
    for (const ControllerReport& r : reports) document.push_back(ToJson(r));
    WriteResult(document.dump(2, ' ', true) + "\n");
  } else {
    std::string text;
    for (const ControllerReport& r : reports) text += ToText(r);
    WriteResult(text);
  }
  return failed ? -1 : 0;
}
