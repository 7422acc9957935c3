#include "vxrom/history.h"

#include <stdio.h>


#include "platform/console.h"
#include "platform/files.h"
#include "platform/program.h"
#include "platform/text.h"
#include "vxrom/exit_codes.h"
#include "vxrom/pool.h"
#include "vxrom/record_json.h"
#include "vxrom/text.h"

namespace {

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
      for (const HistoryRecord& h : records) all.push_back(RecordJson(h));
      out = JsonText(all, 2) + "\n";
      break;
    }
    case HistoryFormat::kCsv:
      for (size_t i = 0; i < kHistoryFieldCount; ++i)
        out += std::string(i ? "," : "") + kHistoryFields[i];
      out += platform::kCrLf;
      for (const HistoryRecord& h : records) {
        const Json j = RecordJson(h);
        for (size_t i = 0; i < kHistoryFieldCount; ++i)
          out += (i ? "," : "") + CsvField(j[kHistoryFields[i]]);
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
