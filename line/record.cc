#include "line/record.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <random>


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

const char* const kHistoryFields[] = {
    "started", "finished", "station", "host", "serial", "address",
    "chip_revision", "rom_type", "firmware_version", "subsystem_vendor_id",
    "subsystem_id", "eui64", "image_sha256", "result", "reason",
    "duration_s", "version"};
const size_t kHistoryFieldCount = sizeof kHistoryFields / sizeof *kHistoryFields;

std::vector<FieldValue> HistoryValues(const HistoryRecord& h) {
  return {h.started,
          h.finished,
          h.station,
          h.host,
          FieldValue::Maybe(h.serial),
          h.address,
          MaybeInt(h.chip_revision),
          MaybeInt(h.rom_type),
          FieldValue::Maybe(h.firmware_version),
          MaybeInt(h.subsystem_vendor_id),
          MaybeInt(h.subsystem_id),
          FieldValue::Maybe(h.eui64),
          FieldValue::Maybe(h.image_sha256),
          h.result,
          FieldValue::Maybe(h.reason),
          h.duration_s,
          h.version};
}

bool SetHistoryField(size_t i, const std::optional<std::string>& text,
                     HistoryRecord* h) {
  switch (i) {
    case 0:
      return SetText(text, &h->started);
    case 1:
      return SetText(text, &h->finished);
    case 2:
      return SetText(text, &h->station);
    case 3:
      return SetText(text, &h->host);
    case 4:
      return SetMaybeText(text, &h->serial);
    case 5:
      return SetText(text, &h->address);
    case 6:
      return SetMaybeInt(text, &h->chip_revision);
    case 7:
      return SetMaybeInt(text, &h->rom_type);
    case 8:
      return SetMaybeText(text, &h->firmware_version);
    case 9:
      return SetMaybeInt(text, &h->subsystem_vendor_id);
    case 10:
      return SetMaybeInt(text, &h->subsystem_id);
    case 11:
      return SetMaybeText(text, &h->eui64);
    case 12:
      return SetMaybeText(text, &h->image_sha256);
    case 13:
      return text && ToInt(*text, &h->result);
    case 14:
      return SetMaybeText(text, &h->reason);
    case 15: {
      char* end = nullptr;
      h->duration_s = text ? strtod(text->c_str(), &end) : 0;
      return !text || (end && *end == '\0');
    }
    case 16:
      return SetText(text, &h->version);
    default:
      return false;
  }
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
