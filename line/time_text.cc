#include "line/time_text.h"

#include <stdint.h>
#include <stdio.h>

namespace line {

namespace {

/// Reads n decimal digits at text[*at].
bool Digits(const std::string& text, size_t* at, size_t n, int* value) {
  if (*at + n > text.size()) return false;
  *value = 0;
  for (size_t i = 0; i < n; ++i) {
    const char c = text[*at + i];
    if (c < '0' || c > '9') return false;
    *value = *value * 10 + (c - '0');
  }
  *at += n;
  return true;
}

bool Expect(const std::string& text, size_t* at, char c) {
  if (*at >= text.size() || text[*at] != c) return false;
  ++*at;
  return true;
}

bool Leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysIn(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && Leap(year) ? 29 : kDays[month - 1];
}

/// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

/// The UTC text of seconds since 1970.
std::string UtcText(int64_t seconds) {
  int64_t days = seconds / 86400, rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // Civil from days (the inverse of DaysFromCivil).
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int64_t y = yoe + era * 400 + (m <= 2);
  char text[40];
  snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02dZ", static_cast<long long>(y), m, d,
           static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
  return text;
}

/// Reads the zone after a time: "Z", "+HH:MM", "+HHMM", "+HH", or none.
bool Zone(const std::string& text, size_t* at, int* offset_seconds) {
  *offset_seconds = 0;
  if (*at == text.size()) return true;
  if (text[*at] == 'Z' || text[*at] == 'z') return ++*at == text.size();
  const int sign = text[*at] == '+' ? 1 : text[*at] == '-' ? -1
                                                           : 0;
  if (sign == 0) return false;
  ++*at;
  int hours = 0, minutes = 0;
  if (!Digits(text, at, 2, &hours)) return false;
  if (*at < text.size() && text[*at] == ':') ++*at;
  if (*at < text.size() && !Digits(text, at, 2, &minutes)) return false;
  if (hours > 23 || minutes > 59 || *at != text.size()) return false;
  *offset_seconds = sign * (hours * 3600 + minutes * 60);
  return true;
}

/// Reads text as ParseTimeBound does into seconds since 1970, UTC.
bool ParseSeconds(const std::string& text, int64_t* seconds, bool* date_only) {
  size_t at = 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, offset = 0;
  if (!Digits(text, &at, 4, &year) || !Expect(text, &at, '-') || !Digits(text, &at, 2, &month) ||
      !Expect(text, &at, '-') || !Digits(text, &at, 2, &day) || month < 1 || month > 12 ||
      day < 1 || day > DaysIn(year, month))
    return false;
  *date_only = at == text.size();
  if (!*date_only) {
    if (text[at] != 'T' && text[at] != 't' && text[at] != ' ') return false;
    ++at;
    if (!Digits(text, &at, 2, &hour) || !Expect(text, &at, ':') || !Digits(text, &at, 2, &minute))
      return false;
    if (at < text.size() && text[at] == ':' && (++at, !Digits(text, &at, 2, &second))) return false;
    // Fractions of a second select nothing finer than history keeps.
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
      ++at;
      while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    }
    if (hour > 23 || minute > 59 || second > 59 || !Zone(text, &at, &offset)) return false;
  }
  *seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offset;
  return true;
}

}  // namespace

bool ParseTimeBound(const std::string& text, TimeBound bound, std::string* utc, bool* exclusive,
                    std::string* why) {
  int64_t seconds = 0;
  bool date_only = false;
  if (!ParseSeconds(text, &seconds, &date_only)) {
    *why = "\"" + text +
           "\" is not a date or time: 2024-05-01, 2024-05-01T08:00:00Z, 2024-05-01 08:00 or "
           "2024-05-01T10:00:00+02:00";
    return false;
  }
  *exclusive = date_only && bound == TimeBound::kEnd;
  if (*exclusive) seconds += 86400;
  *utc = UtcText(seconds);
  why->clear();
  return true;
}

bool UtcSeconds(const std::string& text, int64_t* seconds) {
  bool date_only = false;
  return ParseSeconds(text, seconds, &date_only);
}

std::string UtcTextOf(int64_t seconds) { return UtcText(seconds); }

}  // namespace line
