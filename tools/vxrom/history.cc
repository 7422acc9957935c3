#include "vxrom/history.h"

#include <stdio.h>

#include <nlohmann/json.hpp>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/program.h"
#include "platform/text.h"
#include "vxrom/exit_codes.h"
#include "vxrom/pool.h"
#include "vxrom/text.h"

namespace {

const char* const kFields[] = {
    "started", "finished", "station", "host", "serial", "address",
    "chip_revision", "rom_type", "firmware_version", "subsystem_vendor_id",
    "subsystem_id", "eui64", "image_sha256", "result", "reason",
    "duration_s", "version"};

typedef nlohmann::ordered_json Json;

Json Maybe(const std::optional<std::string>& v) { return v ? Json(*v) : Json(nullptr); }
Json Maybe(const std::optional<int64_t>& v) { return v ? Json(*v) : Json(nullptr); }

/// Seconds with millisecond precision, as a JSON number and CSV field.
double Rounded(double seconds) {
  return static_cast<double>(static_cast<int64_t>(seconds * 1000 + 0.5)) / 1000;
}

Json Record(const HistoryRecord& h) {
  Json j;
  j["started"] = h.started;
  j["finished"] = h.finished;
  j["station"] = h.station;
  j["host"] = h.host;
  j["serial"] = Maybe(h.serial);
  j["address"] = h.address;
  j["chip_revision"] = Maybe(h.chip_revision);
  j["rom_type"] = Maybe(h.rom_type);
  j["firmware_version"] = Maybe(h.firmware_version);
  j["subsystem_vendor_id"] = Maybe(h.subsystem_vendor_id);
  j["subsystem_id"] = Maybe(h.subsystem_id);
  j["eui64"] = Maybe(h.eui64);
  j["image_sha256"] = Maybe(h.image_sha256);
  j["result"] = h.result;
  j["reason"] = Maybe(h.reason);
  j["duration_s"] = Rounded(h.duration_s);
  j["version"] = h.version;
  return j;
}

/// One CSV field: quoted when it holds a comma, a quote or a line end,
/// its quotes doubled (RFC 4180).
std::string CsvField(const Json& value) {
  std::string text;
  if (value.is_null()) return text;
  if (value.is_string()) {
    text = value.get<std::string>();
  } else if (value.is_number_float()) {
    char number[32];
    snprintf(number, sizeof number, "%.3f", value.get<double>());
    text = number;
  } else {
    text = value.dump();
  }
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string TextLine(const HistoryRecord& h) {
  std::string verdict = h.result == 0 ? "programmed" : "failed (" + std::to_string(h.result) + ")";
  if (h.reason) verdict += ": " + *h.reason;
  return h.started + "  " + h.station + "  " + h.address + "  " +
         h.serial.value_or("-") + "  " + h.eui64.value_or("-") + "  " +
         verdict + "\n";
}

}  // namespace

int HistoryCommand(const VxromOptions& options) {
  HistoryFilter filter;
  if (options.has_eui) {
    uint64_t value = 0;
    if (!ParseEui64(options.eui, &value)) {
      VxromReasons().Reason(L"--eui %ls: not an EUI-64: eight hexadecimal pairs joined by '-'",
                            platform::WideFromUtf8(options.eui).c_str());
      return -4;
    }
    filter.eui64 = FormatEui64Value(value);
  }
  if (options.has_serial) filter.serial = options.serial;
  if (options.has_address) filter.address = FormatPciAddress(options.address);
  if (options.has_station) filter.station = options.station;
  if (options.has_since) filter.since = options.since;
  std::unique_ptr<Store> store = OpenOptionsStore(options);
  if (!store) return kExitDatabase;
  std::vector<HistoryRecord> records;
  std::string reason;
  StoreStatus status = store->History(filter, &records, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  std::string out;
  switch (options.history_format) {
    case HistoryFormat::kJson: {
      Json all = Json::array();
      for (const HistoryRecord& h : records) all.push_back(Record(h));
      out = all.dump(2) + "\n";
      break;
    }
    case HistoryFormat::kCsv:
      for (size_t i = 0; i < sizeof kFields / sizeof *kFields; ++i)
        out += std::string(i ? "," : "") + kFields[i];
      out += platform::kCrLf;
      for (const HistoryRecord& h : records) {
        const Json j = Record(h);
        for (size_t i = 0; i < sizeof kFields / sizeof *kFields; ++i)
          out += (i ? "," : "") + CsvField(j[kFields[i]]);
        out += platform::kCrLf;
      }
      break;
    case HistoryFormat::kText:
      for (const HistoryRecord& h : records) out += TextLine(h);
      break;
  }
  WriteResult(out);
  return 0;
}
