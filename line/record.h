// What a line keeps of one board attempt, and what becomes of the EUI-64
// the attempt reserved: the facts that travel from a worker to the
// station's journal and on to the store, defined once.
#ifndef VXROM_RECORD_H_
#define VXROM_RECORD_H_

#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "line/eui64.h"
#include "line/field_value.h"

namespace line {

/// The time now, UTC, as ISO 8601 ("2024-05-01T12:00:00Z").
std::string UtcTimestamp();

/// One board attempt as history keeps it.
struct HistoryRecord {
  std::string started;
  std::string finished;
  std::string station;
  std::string host;
  std::optional<std::string> serial;
  std::string address;
  std::optional<int64_t> chip_revision;
  std::optional<int64_t> rom_type;
  std::optional<std::string> firmware_version;
  std::optional<int64_t> subsystem_vendor_id;
  std::optional<int64_t> subsystem_id;
  std::optional<std::string> eui64;
  std::optional<std::string> image_sha256;
  int64_t result = 0;
  std::optional<std::string> reason;
  double duration_s = 0;
  std::string version;
  std::optional<std::string> job;  ///< The released job, "NAME@VERSION"; none without one.
};

/// One field of the history: its name (the SQL column, the JSON key,
/// the CSV header), its value in a record, and how its text is read.
struct HistoryField {
  const char* name;
  FieldValue (*get)(const HistoryRecord& record);
  bool (*set)(const std::optional<std::string>& text, HistoryRecord* record);
};
/// How many fields a history record has.
extern const size_t kHistoryFieldCount;
/// How many the first release had: the later ones may be missing from
/// what it wrote.
constexpr size_t kFieldsOfFirstRelease = 17;
/// Field i, in the history's order.
const HistoryField& HistoryFieldAt(size_t i);
/// The fields' names, in order.
std::vector<std::string> HistoryFieldNames();
/// The record's fields, in order.
std::vector<FieldValue> HistoryValues(const HistoryRecord& record);
/// Fills field i from its text (NULL as nothing).  @return false when
/// the text does not fit the field (a number that is none).
bool SetHistoryField(size_t i, const std::optional<std::string>& text, HistoryRecord* record);

/// What becomes of a reserved number once its board is done.
enum class Outcome { kProgrammed,
                     kReleased,
                     kSpoiled };

/// The outcome's word, as the journal and messages write it.
const char* OutcomeName(Outcome outcome);
/// Reads an outcome's word.  @return false for none.
bool ParseOutcome(const std::string& name, Outcome* outcome);

/// One board attempt settled: its number's new state and its record, a
/// unit that the journal keeps and the store takes once (by entry_id).
struct Settlement {
  std::string entry_id;                 ///< Unique; a second delivery changes nothing.
  std::string run_id;                   ///< The run whose reservation it settles.
  std::optional<uint64_t> number;       ///< Null: a board without one.
  Outcome outcome = Outcome::kSpoiled;  ///< The number's new state.
  bool any_holder = false;              ///< Spoils the number whichever run holds it.
  std::optional<HistoryRecord> record;  ///< Null: no attempt to record.
};

/// A new unique id (128 random bits in hexadecimal).
std::string NewEntryId();

}  // namespace line

#endif  // VXROM_RECORD_H_
