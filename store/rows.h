// What the store's files share about rows: numbers as keys, and history
// records as columns.
#ifndef VXROM_STORE_ROWS_H_
#define VXROM_STORE_ROWS_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "line/record.h"
#include "store/db.h"

namespace store {

/// Numbers are kept as signed 64-bit keys whose order is the numbers'
/// order: the top bit flipped.
inline int64_t Key(uint64_t value) {
  return static_cast<int64_t>(value ^ (uint64_t{1} << 63));
}
/// The number of a key.
inline uint64_t Value(int64_t key) {
  return static_cast<uint64_t>(key) ^ (uint64_t{1} << 63);
}
/// An integer column (0 for NULL).
inline int64_t ToInt(const std::optional<std::string>& text) {
  return text ? std::stoll(*text) : 0;
}
/// The number of a key column.
inline uint64_t KeyValue(const std::optional<std::string>& text) {
  return Value(ToInt(text));
}

/// "started, finished, ..." of history, each after prefix.
std::string HistoryColumns(const std::string& prefix = "");
/// Reads the record from a row whose first columns are HistoryColumns.
/// @return false with *reason when a field is unreadable.
bool RecordFromRow(const SqlRow& row, line::HistoryRecord* record, std::string* reason);

}  // namespace store

#endif  // VXROM_STORE_ROWS_H_
