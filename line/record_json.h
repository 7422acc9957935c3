// History records as JSON: the form history --json writes, the journal
// keeps and a worker sends its parent.
#ifndef VXROM_RECORD_JSON_H_
#define VXROM_RECORD_JSON_H_

#include <nlohmann/json.hpp>
#include <string>

#include "line/record.h"

namespace line {

typedef nlohmann::ordered_json Json;

/// The record as one JSON object, its keys in kHistoryFields order.
Json RecordJson(const HistoryRecord& record);

/// Reads a record from RecordJson's form.  @return false with *why when a
/// field is missing or of another type.
bool RecordFromJson(const Json& json, HistoryRecord* record, std::string* why);

/// JSON as text that is always valid UTF-8: bytes that are not (a
/// scanner's stray byte) become U+FFFD instead of failing the output.
std::string JsonText(const Json& json, int indent = -1);

}  // namespace line

#endif  // VXROM_RECORD_JSON_H_
