#include "line/record.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <random>

namespace line {

namespace {

/// Reads a whole decimal integer.
bool ToInt(const std::string& text, int64_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  *value = v;
  return true;
}

bool SetText(const std::optional<std::string>& text, std::string* field) {
  *field = text.value_or("");
  return true;
}
bool SetMaybeText(const std::optional<std::string>& text,
                  std::optional<std::string>* field) {
  *field = text;
  return true;
}
bool SetMaybeInt(const std::optional<std::string>& text,
                 std::optional<int64_t>* field) {
  field->reset();
  int64_t v = 0;
  if (!text) return true;
  if (!ToInt(*text, &v)) return false;
  *field = v;
  return true;
}

FieldValue MaybeInt(const std::optional<int64_t>& v) {
  return v ? FieldValue(*v) : FieldValue();
}

}  // namespace

std::string UtcTimestamp() {
  const time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  const struct tm* utc = gmtime(&now);
  char text[32] = {};
  if (utc) strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
  return text;
}

namespace {

bool SetReal(const std::optional<std::string>& text, double* field) {
  char* end = nullptr;
  *field = text ? strtod(text->c_str(), &end) : 0;
  return !text || (end && *end == '\0');
}
bool SetInt(const std::optional<std::string>& text, int64_t* field) {
  return text && ToInt(*text, field);
}

// Each field once: its name (the SQL column, the JSON key, the CSV
// header), how its value is read from a record and how its text is
// written into one.
#define TEXT_FIELD(name)                                                                                                                                          \
  {                                                                                                                                                               \
#name, [](const HistoryRecord& h) { return FieldValue(h.name); }, [](const std::optional <std::string>& t, HistoryRecord* h) { return SetText(t, &h->name); } \
  }
#define MAYBE_TEXT_FIELD(name)                                                                                                                                                \
  {                                                                                                                                                                           \
#name, [](const HistoryRecord& h) { return FieldValue::Maybe(h.name); }, [](const std::optional <std::string>& t, HistoryRecord* h) { return SetMaybeText(t, &h->name); } \
  }
#define MAYBE_INT_FIELD(name)                                                                                                                                       \
  {                                                                                                                                                                 \
#name, [](const HistoryRecord& h) { return MaybeInt(h.name); }, [](const std::optional <std::string>& t, HistoryRecord* h) { return SetMaybeInt(t, &h->name); } \
  }

const HistoryField kFields[] = {
    TEXT_FIELD(started),
    TEXT_FIELD(finished),
    TEXT_FIELD(station),
    TEXT_FIELD(host),
    MAYBE_TEXT_FIELD(serial),
    TEXT_FIELD(address),
    MAYBE_INT_FIELD(chip_revision),
    MAYBE_INT_FIELD(rom_type),
    MAYBE_TEXT_FIELD(firmware_version),
    MAYBE_INT_FIELD(subsystem_vendor_id),
    MAYBE_INT_FIELD(subsystem_id),
    MAYBE_TEXT_FIELD(eui64),
    MAYBE_TEXT_FIELD(image_sha256),
    {"result", [](const HistoryRecord& h) { return FieldValue(h.result); },
     [](const std::optional<std::string>& t, HistoryRecord* h) { return SetInt(t, &h->result); }},
    MAYBE_TEXT_FIELD(reason),
    {"duration_s", [](const HistoryRecord& h) { return FieldValue(h.duration_s); },
     [](const std::optional<std::string>& t, HistoryRecord* h) { return SetReal(t, &h->duration_s); }},
    TEXT_FIELD(version),
    MAYBE_TEXT_FIELD(job),
};

#undef TEXT_FIELD
#undef MAYBE_TEXT_FIELD
#undef MAYBE_INT_FIELD

}  // namespace

const size_t kHistoryFieldCount = sizeof kFields / sizeof *kFields;

const HistoryField& HistoryFieldAt(size_t i) { return kFields[i]; }

std::vector<std::string> HistoryFieldNames() {
  std::vector<std::string> names;
  for (const HistoryField& f : kFields) names.push_back(f.name);
  return names;
}

std::vector<FieldValue> HistoryValues(const HistoryRecord& h) {
  std::vector<FieldValue> values;
  for (const HistoryField& f : kFields) values.push_back(f.get(h));
  return values;
}

bool SetHistoryField(size_t i, const std::optional<std::string>& text,
                     HistoryRecord* h) {
  return i < kHistoryFieldCount && kFields[i].set(text, h);
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kProgrammed:
      return "programmed";
    case Outcome::kReleased:
      return "released";
    case Outcome::kSpoiled:
      return "spoiled";
  }
  return "spoiled";
}

bool ParseOutcome(const std::string& name, Outcome* outcome) {
  for (Outcome o : {Outcome::kProgrammed, Outcome::kReleased, Outcome::kSpoiled}) {
    if (name == OutcomeName(o)) {
      *outcome = o;
      return true;
    }
  }
  return false;
}

std::string NewEntryId() {
  std::random_device random;
  char id[40];
  snprintf(id, sizeof id, "%08x%08x%08x%08x", random(), random(), random(), random());
  return id;
}

}  // namespace line
