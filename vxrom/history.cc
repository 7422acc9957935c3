#include "vxrom/history.h"

#include <stdio.h>

#include <algorithm>
#include <vector>

#include "device/exit_codes.h"
#include "line/record_json.h"
#include "line/time_text.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/program.h"
#include "platform/text.h"
#include "store/ledger.h"
#include "vxrom/output.h"
#include "vxrom/pool.h"

using namespace device;
using namespace line;
using namespace store;

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

/// A subsystem ID as every output shows it: "0x1106".
Json HexId(const std::optional<int64_t>& id) {
  if (!id) return nullptr;
  char text[16];
  snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(*id & 0xFFFF));
  return text;
}

/// One row as the history command shows it: the record, with its
/// subsystem IDs in hexadecimal, the run, and the number's state now.
Json RowJson(const HistoryRow& row) {
  Json j = RecordJson(row.record);
  j["subsystem_vendor_id"] = HexId(row.record.subsystem_vendor_id);
  j["subsystem_id"] = HexId(row.record.subsystem_id);
  j["run_id"] = row.run_id;
  j["eui_state"] = row.eui_state ? Json(*row.eui_state) : Json(nullptr);
  return j;
}

/// The columns of the plain form.
const char* const kTextColumns[] = {"STARTED", "STATION", "ADDRESS", "SERIAL", "EUI-64", "NOW", "RESULT"};

std::vector<std::string> TextCells(const HistoryRow& row) {
  const HistoryRecord& h = row.record;
  std::string result = h.result == 0 ? "programmed" : "failed (" + std::to_string(h.result) + ")";
  if (h.reason) result += ": " + *h.reason;
  return {h.started, h.station, h.address, h.serial.value_or("-"), h.eui64.value_or("-"),
          row.eui_state.value_or("-"), result};
}

/// The plain form: a header, then one line a record, its columns aligned.
std::string TextTable(const std::vector<HistoryRow>& rows) {
  const size_t columns = sizeof kTextColumns / sizeof *kTextColumns;
  std::vector<std::vector<std::string>> cells = {{kTextColumns, kTextColumns + columns}};
  for (const HistoryRow& row : rows) cells.push_back(TextCells(row));
  std::vector<size_t> width(columns, 0);
  for (const auto& line : cells)
    for (size_t c = 0; c + 1 < columns; ++c)
      width[c] = std::max(width[c], platform::WideFromUtf8(line[c]).size());
  std::string out;
  for (const auto& line : cells) {
    for (size_t c = 0; c < columns; ++c) {
      out += line[c];
      if (c + 1 < columns)
        out += std::string(width[c] - platform::WideFromUtf8(line[c]).size() + 2, ' ');
    }
    out += "\n";
  }
  return out;
}

/// The filter the options ask for.  @return kExitOk or kExitCommandLine
/// (said).
ExitCode MakeFilter(const HistoryOptions& options, HistoryFilter* filter) {
  std::string why;
  if (options.has_eui) {
    uint64_t value = 0;
    if (!ParseEui64(options.eui, &value)) {
      VxromReasons().Reason(L"--eui %ls: not an EUI-64: eight hexadecimal pairs joined by '-' or ':'",
                            platform::WideFromUtf8(options.eui).c_str());
      return kExitCommandLine;
    }
    filter->eui64 = FormatEui64Value(value);
  }
  bool exclusive = false;
  std::string utc;
  for (const auto& bound : {std::make_pair(&options.since, TimeBound::kStart),
                            std::make_pair(&options.until, TimeBound::kEnd)}) {
    if (bound.first->empty()) continue;
    if (!ParseTimeBound(*bound.first, bound.second, &utc, &exclusive, &why)) {
      VxromReasons().Reason(L"--%ls %ls", bound.second == TimeBound::kStart ? L"since" : L"until",
                            platform::WideFromUtf8(why).c_str());
      return kExitCommandLine;
    }
    (bound.second == TimeBound::kStart ? filter->since : filter->until) = utc;
    if (bound.second == TimeBound::kEnd) filter->until_exclusive = exclusive;
  }
  if (options.has_serial) filter->serial = options.serial;
  if (options.has_address) filter->address = FormatPciAddress(options.address);
  if (options.has_station) filter->station = options.station;
  if (!options.result.empty()) filter->ok = options.result == "ok";
  if (!options.run_id.empty()) filter->run_id = options.run_id;
  return kExitOk;
}

/// When --eui selects nothing: what the number is, on standard error.
void TellUnknownNumber(Store& store, const std::string& eui) {
  uint64_t value = 0;
  std::optional<std::string> state;
  std::string reason;
  if (!ParseEui64(eui, &value) || store.NumberState(value, &state, &reason) != StoreStatus::kOk) return;
  VxromReason("no record of " + eui + ": " +
              (state ? "it is " + *state + " in this store's pool" : std::string("it is not in this store's pool")));
}

}  // namespace

ExitCode HistoryCommand(const CommonOptions& common, const HistoryOptions& options) {
  HistoryFilter filter;
  const ExitCode result = MakeFilter(options, &filter);
  if (result != kExitOk) return result;
  std::unique_ptr<Store> store = OpenOptionsStore(common);
  if (!store) return kExitDatabase;
  std::vector<HistoryRow> rows;
  std::string reason;
  StoreStatus status = store->History(filter, &rows, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  if (rows.empty() && filter.eui64) TellUnknownNumber(*store, *filter.eui64);
  std::string out;
  switch (options.format) {
    case HistoryFormat::kJson: {
      Json all = Json::array();
      for (const HistoryRow& row : rows) all.push_back(RowJson(row));
      out = JsonText(all, 2) + "\n";
      break;
    }
    case HistoryFormat::kCsv: {
      std::vector<std::string> fields = HistoryFieldNames();
      fields.insert(fields.end(), {"run_id", "eui_state"});
      for (size_t i = 0; i < fields.size(); ++i) out += (i ? "," : "") + fields[i];
      out += platform::kCrLf;
      for (const HistoryRow& row : rows) {
        const Json j = RowJson(row);
        for (size_t i = 0; i < fields.size(); ++i) out += (i ? "," : "") + CsvField(j[fields[i]]);
        out += platform::kCrLf;
      }
      break;
    }
    case HistoryFormat::kText:
      out = TextTable(rows);
      break;
  }
  WriteResult(out);
  return kExitOk;
}

ExitCode HistoryVerifyCommand(const CommonOptions& common) {
  std::unique_ptr<Store> store = OpenOptionsStore(common);
  if (!store) return kExitDatabase;
  ChainCheck check;
  std::string reason;
  const StoreStatus status = VerifyChain(*store, &check, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  if (check.break_at) {
    WriteResult("broken at entry " + std::to_string(*check.break_at) + ": " + check.broken + "\n");
    VxromReasons().Reason(L"the history's chain breaks after %lld intact entries: the store was changed behind vxrom's back",
                          static_cast<long long>(check.entries));
    return kExitChainBroken;
  }
  WriteResult("intact: " + std::to_string(check.entries) + " entries, head " +
              (check.head.empty() ? std::string("none") : check.head) + "\n");
  return kExitOk;
}
