// The times a supervisor types to select history: ISO 8601 dates and
// times, with 'T' or a blank between them, 'Z' or an offset (honoured),
// turned into the UTC form history keeps ("2024-05-01T08:00:00Z"), which
// sorts as it reads.
#ifndef VXROM_TIME_TEXT_H_
#define VXROM_TIME_TEXT_H_

#include <stdint.h>

#include <string>

namespace line {

/// Which end of a span a time bounds: a bare date stands for its first
/// second as a start, and for the whole day as an end.
enum class TimeBound { kStart,
                       kEnd };

/// Reads text ("2024-05-01", "2024-05-01T08:00", "2024-05-01 08:00:00Z",
/// "2024-05-01T10:00:00+02:00"; a time without a zone is UTC, as history
/// writes it) into *utc, the first second the bound excludes for kEnd of a
/// date (the next day's start) and the time itself otherwise.
/// @return false with *why.
bool ParseTimeBound(const std::string& text, TimeBound bound, std::string* utc, bool* exclusive,
                    std::string* why);

/// Reads a time as ParseTimeBound does (a date as its first second) into
/// seconds since 1970, UTC.  @return false for none.
bool UtcSeconds(const std::string& text, int64_t* seconds);

/// The UTC text of seconds since 1970, as history keeps times.
std::string UtcTextOf(int64_t seconds);

}  // namespace line

#endif  // VXROM_TIME_TEXT_H_
