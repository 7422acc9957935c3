#include "vxrom/pool.h"

#include <errno.h>
#include <stdio.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "device/exit_codes.h"
#include "line/record_json.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/program.h"
#include "platform/text.h"
#include "store/jobs.h"
#include "store/journal.h"
#include "store/recovery.h"
#include "vxrom/output.h"

using namespace device;
using namespace line;
using namespace store;

namespace {

/// The longest line of an import file: a number, with room for white
/// space around it.  A longer one is no list of numbers.
const size_t kLongestLine = 256;
/// Characters of a refused word quoted in its reason, at most.
const size_t kQuoted = 24;

typedef std::pair<uint64_t, uint64_t> Range;

/// At most kQuoted bytes of text, whole UTF-8 characters, "..." when cut.
std::string Quoted(const std::string& text) {
  if (text.size() <= kQuoted) return text;
  size_t end = kQuoted;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end) + "...";
}

/// Reads one EUI-64 word of the command line or a file; says why not.
bool ReadNumber(const std::string& what, const std::string& text,
                uint64_t* value) {
  if (ParseEui64(text, value)) return true;
  VxromReason(what + " \"" + Quoted(text) +
              "\": not an EUI-64: eight hexadecimal pairs joined by '-', as in "
              "an .eui file (02-56-58-FF-FE-00-00-01): nothing added");
  return false;
}

/// The group (I/G) bit is the low bit of the first octet: such a number
/// names a group of interfaces, never one board.  Every first octet
/// between the two ends must be free of it, so both ends share theirs.
bool CheckIndividual(const std::string& what, const Range& range) {
  unsigned first = 0;
  if (IndividualNumbers(range.first, range.second, &first)) return true;
  char octet[8];
  snprintf(octet, sizeof octet, "%02X", first);
  VxromReason(what + " takes in first octet " + octet +
              ", whose group (I/G) bit is set: such numbers name no single "
              "board: nothing added");
  return false;
}

ExitCode AddRanges(Store& store, const std::vector<Range>& ranges, const char* action) {
  std::string reason;
  StoreStatus status = store.AddRanges(ranges, action, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  uint64_t count = 0;
  for (const Range& r : ranges) count += r.second - r.first + 1;
  WriteResult("added " + std::to_string(count) + (count == 1 ? " EUI-64 in " : " EUI-64s in ") +
              std::to_string(ranges.size()) +
              (ranges.size() == 1 ? " range" : " ranges") + ": " +
              FormatEui64Value(ranges.front().first) + " to " +
              FormatEui64Value(ranges.back().second) + "\n");
  return kExitOk;
}

/// pool add's words as a range.  @return 0 or -4.
ExitCode ReadRange(const PoolOptions& options, std::vector<Range>* ranges) {
  Range range;
  if (!ReadNumber("FIRST", options.first, &range.first)) return kExitCommandLine;
  range.second = range.first;
  if (!options.last.empty() && !ReadNumber("LAST", options.last, &range.second))
    return kExitCommandLine;
  if (range.second < range.first) {
    VxromReason("LAST " + options.last + " comes before FIRST " + options.first +
                ": nothing added");
    return kExitCommandLine;
  }
  if (!CheckIndividual("the range", range)) return kExitCommandLine;
  ranges->push_back(range);
  return kExitOk;
}

/// Trims white space at both ends.
std::string Trimmed(const std::string& text) {
  const char* space = " \t\r\n";
  size_t begin = text.find_first_not_of(space);
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find_last_not_of(space) - begin + 1);
}

/// One line of an import file: nothing, or a number into *numbers.
/// @return 0 or -4.
ExitCode ReadImportLine(const std::string& name, size_t line_number,
                        const std::string& text, std::vector<uint64_t>* numbers) {
  const std::string line = Trimmed(text);
  if (line.empty()) return kExitOk;
  const std::string where = name + " line " + std::to_string(line_number);
  uint64_t value = 0;
  if (ParseEui64(line, &value) && (value >> 56 & 1) == 0) {
    numbers->push_back(value);
    return kExitOk;
  }
  if (!ReadNumber(where, line, &value)) return kExitCommandLine;
  if (!CheckIndividual(where, {value, value})) return kExitCommandLine;
  numbers->push_back(value);
  return kExitOk;
}

/// pool import's file as ranges of consecutive numbers, read as it
/// streams in: whatever its size, memory holds the numbers only.
/// @return 0, -4, -12 or -25.
ExitCode ReadImport(const PoolOptions& options, std::vector<Range>* ranges) {
  std::wstring why;
  std::unique_ptr<FILE, int (*)(FILE*)> file(platform::OpenRegularFile(options.file_path, &why), fclose);
  if (!file) {
    VxromReasons().Reason(L"cannot read \"%ls\": %ls: nothing added",
                          options.file_path.c_str(), why.c_str());
    return kExitFile;
  }
  const std::string name = platform::Utf8FromWide(options.file_path);
  std::vector<uint64_t> numbers;
  std::string line;
  size_t line_number = 1;
  char buffer[1 << 16];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    for (size_t i = 0; i < got; ++i) {
      if (buffer[i] == '\n') {
        const ExitCode result = ReadImportLine(name, line_number, line, &numbers);
        if (result != 0) return result;
        line.clear();
        ++line_number;
      } else if (line.size() < kLongestLine) {
        line += buffer[i];
      } else {
        VxromReason(name + " line " + std::to_string(line_number) + " is longer than " +
                    std::to_string(kLongestLine) + " characters (\"" + Quoted(line) +
                    "\"): not one EUI-64 a line: nothing added");
        return kExitCommandLine;
      }
    }
  }
  if (ferror(file.get())) {
    VxromReasons().Reason(L"cannot read \"%ls\": %ls: nothing added", options.file_path.c_str(),
                          platform::ErrorNumberText(errno).c_str());
    return kExitFile;
  }
  const ExitCode result = ReadImportLine(name, line_number, line, &numbers);
  if (result != 0) return result;
  if (numbers.empty()) {
    VxromReason(name + " holds no EUI-64: nothing added");
    return kExitCommandLine;
  }
  std::sort(numbers.begin(), numbers.end());
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0 && numbers[i] == numbers[i - 1]) {
      VxromReason(name + " lists " + FormatEui64Value(numbers[i]) +
                  " more than once: nothing added");
      return kExitRangeRefused;
    }
    if (!ranges->empty() && ranges->back().second + 1 == numbers[i])
      ranges->back().second = numbers[i];
    else
      ranges->emplace_back(numbers[i], numbers[i]);
  }
  return kExitOk;
}

ExitCode Status(bool json, const PoolOptions& options, Store& store) {
  const uint64_t waiting = JournalWaiting(store);
  PoolCounts counts;
  std::string reason;
  StoreStatus status = store.Counts(&counts, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  const std::string next = counts.next ? FormatEui64Value(*counts.next) : "";
  std::optional<uint64_t> low;
  if ((status = Watermark(options.low_water, store, counts.free, &low, &reason)) != StoreStatus::kOk)
    return StoreFailure(status, reason);
  if (json) {
    nlohmann::ordered_json doc = {{"free", counts.free},
                                  {"reserved", counts.reserved},
                                  {"programmed", counts.programmed},
                                  {"spoiled", counts.spoiled}};
    doc["next"] = counts.next ? nlohmann::ordered_json(next) : nullptr;
    doc["journal_waiting"] = waiting;
    doc["low_water"] = low ? nlohmann::ordered_json(*low) : nullptr;
    WriteResult(doc.dump() + "\n");
    return kExitOk;
  }
  WriteResult("free        " + std::to_string(counts.free) + "\n" +
              "reserved    " + std::to_string(counts.reserved) + "\n" +
              "programmed  " + std::to_string(counts.programmed) + "\n" +
              "spoiled     " + std::to_string(counts.spoiled) + "\n" +
              "next        " + (counts.next ? next : "none") + "\n" +
              (waiting > 0 ? "journal     " + std::to_string(waiting) + " records not yet here (" +
                                 Journal::DefaultPath() + ")\n"
                           : "") +
              (low ? "low water   " + std::to_string(*low) + "\n" : ""));
  return kExitOk;
}

/// pool retire.
ExitCode Retire(Store& store, const Range& range) {
  uint64_t count = 0;
  std::string reason;
  const StoreStatus status = store.Retire(range.first, range.second, &count, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  WriteResult("retired " + std::to_string(count) + (count == 1 ? " EUI-64: " : " EUI-64s: ") +
              FormatEui64Value(range.first) + " to " + FormatEui64Value(range.second) + "\n");
  return kExitOk;
}

/// pool log.
ExitCode Log(bool json, Store& store) {
  std::vector<PoolChange> changes;
  std::string reason;
  const StoreStatus status = PoolLog(store, &changes, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  nlohmann::ordered_json all = nlohmann::ordered_json::array();
  std::string text;
  for (const PoolChange& c : changes) {
    all.push_back({{"at", c.at}, {"who", c.who}, {"action", c.action}, {"subject", c.subject}, {"detail", c.detail ? nlohmann::ordered_json(*c.detail) : nullptr}});
    text += c.at + "  " + c.who + "  " + c.action + "  " + c.subject + (c.detail ? "  (" + *c.detail + ")" : "") + "\n";
  }
  WriteResult(json ? all.dump(2) + "\n" : text);
  return kExitOk;
}

/// pool low-water.
ExitCode SetWatermark(const PoolOptions& options, Store& store) {
  std::string reason;
  const StoreStatus status = SetLowWater(store, options.low_water, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  WriteResult(options.low_water ? "low water " + std::to_string(*options.low_water) + "\n" : "low water none\n");
  return kExitOk;
}

/// pool list.
ExitCode List(bool json, const PoolOptions& options, Store& store) {
  std::vector<PoolSpan> spans;
  std::string reason;
  const StoreStatus status =
      store.Spans(options.state.empty() ? std::nullopt : std::optional<std::string>(options.state), &spans, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  typedef nlohmann::ordered_json Json;
  Json all = Json::array();
  for (const PoolSpan& s : spans) {
    const bool reserved = s.state == "reserved";
    Json j = {{"state", s.state}, {"first", FormatEui64Value(s.first)}, {"last", FormatEui64Value(s.last)}, {"count", s.last - s.first + 1}};
    j["station"] = reserved ? Json(s.station) : Json(nullptr);
    j["host"] = reserved ? Json(s.host) : Json(nullptr);
    j["run_id"] = reserved ? Json(s.run_id) : Json(nullptr);
    all.push_back(j);
  }
  if (json) {
    WriteResult(JsonText(all, 2) + "\n");
    return kExitOk;
  }
  const char* const columns[] = {"state", "first", "last", "count", "station", "host", "run_id"};
  std::string out;
  for (const char* c : columns) out += std::string(out.empty() ? "" : options.csv ? ","
                                                                                  : "  ") +
                                       c;
  out += options.csv ? platform::kCrLf : "\n";
  for (const Json& j : all) {
    std::string line;
    for (const char* c : columns) {
      const Json& v = j[c];
      const std::string text = v.is_null() ? (options.csv ? "" : "-") : v.is_string() ? v.get<std::string>()
                                                                                      : v.dump();
      line += (line.empty() ? "" : options.csv ? ","
                                               : "  ") +
              text;
    }
    out += line + (options.csv ? platform::kCrLf : "\n");
  }
  WriteResult(out);
  return kExitOk;
}

/// pool release: the run's reservations spoiled, each with a record,
/// once the run is known not to be alive.
ExitCode Release(const PoolOptions& options, Store& store) {
  ReservationQuery query;
  if (!options.run_id.empty()) query.run_id = options.run_id;
  if (!options.station.empty() && !options.host.empty()) query = {std::nullopt, options.station, options.host};
  if (!query.run_id && !query.station) {
    VxromReason("pool release needs --run RUN, or --station NAME with --host HOST");
    return kExitCommandLine;
  }
  std::vector<Reservation> reservations;
  std::string reason;
  StoreStatus status = store.Reservations(query, &reservations, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  const std::string here = platform::HostName();
  std::unique_ptr<Journal> journal = Journal::Open(Journal::DefaultPath(), true, &reason);
  for (const Reservation& r : reservations) {
    const auto alive = [](const RunProcess& p) { return platform::ProcessAlive(p.pid, p.start); };
    if (r.host == here && RunAlive(journal.get(), r.run_id, r, alive)) {
      VxromReason("run " + r.run_id + " is alive (process " + std::to_string(r.pid) + " on " + r.host +
                  "): nothing released");
      return kExitCommandLine;
    }
    if (r.host != here && !options.force) {
      VxromReason("run " + r.run_id + " is on " + r.host +
                  ", whose processes this PC cannot see: if it "
                  "will not come back, --force releases its numbers; nothing released");
      return kExitCommandLine;
    }
  }
  for (const Reservation& r : reservations) {
    const Settlement s = SpoiledReservation(
        r, "released by hand (vxrom pool release on " + here + "): the run that reserved it (process " +
               std::to_string(r.pid) + " on " + r.host +
               ") will not come back; the board may carry it, "
               "so it is spoiled");
    if ((status = store.Settle(s, &reason)) != StoreStatus::kOk) return StoreFailure(status, reason);
  }
  WriteResult("released " + std::to_string(reservations.size()) + " reserved EUI-64" +
              (reservations.size() == 1 ? "" : "s") + " as spoiled\n");
  return kExitOk;
}

}  // namespace

ExitCode PoolCommand(Command command, const CommonOptions& common, const PoolOptions& options) {
  // The numbers are checked before the database is asked anything.
  std::vector<Range> ranges;
  ExitCode result = kExitOk;
  if (command == Command::kPoolAdd || command == Command::kPoolRetire) result = ReadRange(options, &ranges);
  if (command == Command::kPoolImport) result = ReadImport(options, &ranges);
  if (result != kExitOk) return result;
  std::unique_ptr<Store> store = OpenOptionsStore(common);
  if (!store) return kExitDatabase;
  switch (command) {
    case Command::kPoolList:
      return List(common.json, options, *store);
    case Command::kPoolRelease:
      return Release(options, *store);
    case Command::kPoolRetire:
      return Retire(*store, ranges[0]);
    case Command::kPoolLog:
      return Log(common.json, *store);
    case Command::kPoolLowWater:
      return SetWatermark(options, *store);
    case Command::kPoolStatus:
      return Status(common.json, options, *store);
    default:
      return AddRanges(*store, ranges, command == Command::kPoolAdd ? "pool add" : "pool import");
  }
}
