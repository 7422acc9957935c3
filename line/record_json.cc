#include "line/record_json.h"

#include <stdio.h>

namespace line {

namespace {

/// Seconds with millisecond precision, as JSON and CSV show them.
double Rounded(double seconds) {
  return static_cast<double>(static_cast<int64_t>(seconds * 1000 + 0.5)) / 1000;
}

Json FieldJson(const FieldValue& v) {
  switch (v.type) {
    case FieldValue::Type::kNull:
      return nullptr;
    case FieldValue::Type::kInt:
      return v.integer;
    case FieldValue::Type::kReal:
      return Rounded(v.real);
    case FieldValue::Type::kText:
      return v.text;
  }
  return nullptr;
}

}  // namespace

Json RecordJson(const HistoryRecord& record) {
  const std::vector<FieldValue> values = HistoryValues(record);
  Json j = Json::object();
  for (size_t i = 0; i < kHistoryFieldCount; ++i) j[HistoryFieldAt(i).name] = FieldJson(values[i]);
  return j;
}

bool RecordFromJson(const Json& json, HistoryRecord* record, std::string* why) {
  if (!json.is_object()) {
    *why = "the record is no JSON object";
    return false;
  }
  for (size_t i = 0; i < kHistoryFieldCount; ++i) {
    const char* name = HistoryFieldAt(i).name;
    const auto at = json.find(name);
    std::optional<std::string> text;
    // A record that an earlier version journaled lacks the fields added
    // since: they are none.
    if (at == json.end() && i >= kFieldsOfFirstRelease) continue;
    if (at == json.end()) {
      *why = std::string("the record lacks \"") + name + "\"";
      return false;
    }
    if (at->is_string()) text = at->get<std::string>();
    if (at->is_number()) text = at->dump();
    if ((!at->is_null() && !text) || !SetHistoryField(i, text, record)) {
      *why = std::string("the record's \"") + name + "\" is not of its type";
      return false;
    }
  }
  return true;
}

std::string JsonText(const Json& json, int indent) {
  return json.dump(indent, ' ', false, Json::error_handler_t::replace);
}

}  // namespace line
