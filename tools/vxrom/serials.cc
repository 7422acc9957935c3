#include "vxrom/serials.h"

#include <algorithm>
#include <vector>

#include "device/exit_codes.h"
#include "platform/files.h"
#include "platform/text.h"
#include "vxrom/exit_codes.h"
#include "vxrom/store_access.h"
#include "vxrom/text.h"

namespace {

/// Larger than this, a slot map is no slot map.
const size_t kLargestSlots = 1u << 20;

std::string Trimmed(const std::string& text) {
  const char* blanks = " \t\r\n\v\f";
  const size_t begin = text.find_first_not_of(blanks);
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

void Reason(const std::string& text) {
  VxromReasons().Reason(L"%ls", platform::WideFromUtf8(text).c_str());
}

/// Why a serial cannot go to a board.
enum class Refused { kNot,
                     kTwice,
                     kProgrammed };

/// Whether serial may go to board: not when it is another board's
/// already, or programmed (then, for a reworked board, its number is to
/// be retired).  @return the store's status; *refused and *why.
StoreStatus Refusal(const std::string& serial, BoardState& board,
                    const std::vector<BoardState>& boards, const ProgrammedLookup& programmed,
                    Refused* refused, std::string* why) {
  why->clear();
  *refused = Refused::kNot;
  if (board.rom_serial && SerialKey(*board.rom_serial) != SerialKey(serial)) {
    *why = "the board at " + FormatPciAddress(board.address) + " carries the EUI-64 of serial \"" +
           *board.rom_serial + "\", not of \"" + serial + "\": is the label right?";
    *refused = Refused::kProgrammed;
    return StoreStatus::kOk;
  }
  for (const BoardState& other : boards) {
    if (&other == &board || !other.serial || SerialKey(*other.serial) != SerialKey(serial)) continue;
    *why = "\"" + serial + "\" is the serial of the board at " + FormatPciAddress(other.address) +
           " already";
    *refused = other.stage == BoardStage::kSkipped ? Refused::kProgrammed : Refused::kTwice;
    return StoreStatus::kOk;
  }
  std::optional<HistoryRecord> record;
  std::string reason;
  const StoreStatus status = programmed(serial, &record, &reason);
  if (status != StoreStatus::kOk) {
    *why = reason;
    return status;
  }
  if (!record) return StoreStatus::kOk;
  uint64_t number = 0;
  if (board.rework) {
    if (record->eui64 && ParseEui64(*record->eui64, &number) &&
        std::find(board.supersedes.begin(), board.supersedes.end(), number) == board.supersedes.end())
      board.supersedes.push_back(number);
    return StoreStatus::kOk;
  }
  *why = "\"" + serial + "\" was programmed at station " + record->station + " at " +
         record->finished + ", EUI-64 " + record->eui64.value_or("none") + " (--rework " +
         FormatPciAddress(board.address) + " programs its board anew)";
  *refused = Refused::kProgrammed;
  return StoreStatus::kOk;
}

/// The serials of --serial words.
int SerialWords(const VxromOptions& options, const SerialRules& rules,
                const ProgrammedLookup& programmed, std::vector<BoardState>* boards) {
  for (const std::string& word : options.serials) {
    const size_t equals = word.find('=');
    PciAddress address = kNoAddress;
    if (equals == std::string::npos || !ParsePciAddress(word.substr(0, equals), &address)) {
      Reason("--serial " + word + ": not ADDRESS=TEXT (e.g. 04:00.0=SN1234)");
      return kExitCommandLine;
    }
    auto board = std::find_if(boards->begin(), boards->end(),
                              [address](const BoardState& b) { return b.address == address; });
    std::string serial, why;
    Refused refused = Refused::kNot;
    if (board == boards->end() || board->stage == BoardStage::kSkipped) {
      Reason("--serial " + word + ": no board at " + FormatPciAddress(address) + " is to be programmed");
      return kExitCommandLine;
    }
    if (board->serial) {
      Reason("--serial names " + FormatPciAddress(address) + " twice");
      return kExitCommandLine;
    }
    if (!CleanSerial(word.substr(equals + 1), rules, &serial, &why)) {
      Reason("--serial " + word + ": " + why);
      return kExitCommandLine;
    }
    const StoreStatus status = Refusal(serial, *board, *boards, programmed, &refused, &why);
    if (status != StoreStatus::kOk) return StoreFailure(status, why);
    if (refused != Refused::kNot) {
      Reason(why + ": no board touched");
      return refused == Refused::kTwice ? static_cast<int>(kExitCommandLine) : static_cast<int>(kExitSerialProgrammed);
    }
    board->serial = serial;
  }
  return 0;
}

/// --scan: each board in turn, again after a slip.
int ScanSerials(const SerialRules& rules, const SlotLabels& slots, const ProgrammedLookup& programmed,
                const LineReader& read, std::vector<BoardState>* boards) {
  for (BoardState& b : *boards) {
    if (b.stage == BoardStage::kSkipped) continue;
    const std::string name = BoardName(b.address, slots);
    for (;;) {
      std::string line, serial, why;
      Refused refused = Refused::kNot;
      if (!read((slots.count(b.address) ? "board in " : "board at ") + name + ": ", &line)) {
        Reason("no serial for the board at " + name + ": no board touched");
        return kExitCommandLine;
      }
      if (CleanSerial(line, rules, &serial, &why)) {
        const StoreStatus status = Refusal(serial, b, *boards, programmed, &refused, &why);
        if (status != StoreStatus::kOk) return StoreFailure(status, why);
        if (refused == Refused::kNot) {
          b.serial = serial;
          break;
        }
      }
      Reason(name + ": " + why + ": scan this board's label again");
    }
  }
  return 0;
}

}  // namespace

int AssignSerials(const VxromOptions& options, const SerialRules& rules, const SlotLabels& slots,
                  const ProgrammedLookup& programmed, const LineReader& read,
                  std::vector<BoardState>* boards) {
  const int result = SerialWords(options, rules, programmed, boards);
  if (result != 0 || !options.scan) return result;
  return ScanSerials(rules, slots, programmed, read, boards);
}

bool MakeSerialRules(const std::string& pattern, SerialRules* rules, std::string* why) {
  rules->pattern_text = pattern;
  rules->pattern.reset();
  if (pattern.empty()) return true;
  try {
    rules->pattern = std::regex(pattern, std::regex::ECMAScript);
  } catch (const std::regex_error& e) {
    *why = "--serial-pattern \"" + pattern + "\" is no regular expression: " + e.what();
    return false;
  }
  return true;
}

bool CleanSerial(const std::string& raw, const SerialRules& rules, std::string* serial,
                 std::string* why) {
  if (!platform::IsUtf8(raw)) {
    *why = "that is not text (a stray byte from the scanner?)";
    return false;
  }
  *serial = Trimmed(raw);
  if (serial->empty()) {
    *why = "no serial was given";
    return false;
  }
  if (rules.pattern && !std::regex_match(*serial, *rules.pattern)) {
    *why = "\"" + *serial + "\" is not of the line's pattern " + rules.pattern_text;
    return false;
  }
  return true;
}

std::string SerialKey(const std::string& serial) {
  std::string key = serial;
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return key;
}

bool ReadSlots(const std::wstring& path, SlotLabels* slots, std::string* why) {
  std::vector<uint8_t> data;
  std::wstring reason;
  const std::string name = platform::Utf8FromWide(path);
  if (!platform::ReadInputFile(path, kLargestSlots + 1, &data, &reason) ||
      data.size() > kLargestSlots) {
    *why = "--slots " + name + ": " +
           (reason.empty() ? std::string("larger than 1 MiB") : platform::Utf8FromWide(reason));
    return false;
  }
  const std::string text(data.begin(), data.end());
  size_t line_number = 0;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trimmed(text.substr(at, end - at));
    at = end + 1;
    ++line_number;
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    PciAddress address = kNoAddress;
    const std::string label = equals == std::string::npos ? "" : Trimmed(line.substr(equals + 1));
    if (equals == std::string::npos || !ParsePciAddress(Trimmed(line.substr(0, equals)), &address) ||
        label.empty() || !platform::IsUtf8(label) || !slots->emplace(address, label).second) {
      *why = name + " line " + std::to_string(line_number) +
             ": not \"ADDRESS = LABEL\" (BB:DD.F or BB-DD-F, each address once)";
      return false;
    }
  }
  return true;
}

std::string BoardName(PciAddress address, const SlotLabels& slots) {
  const auto slot = slots.find(address);
  if (slot == slots.end()) return FormatPciAddress(address);
  return "slot " + slot->second + " (" + FormatPciAddress(address) + ")";
}
