#include "vxrom/provision/scan.h"

#include <algorithm>
#include <vector>

#include "device/exit_codes.h"
#include "platform/files.h"
#include "platform/text.h"
#include "vxrom/output.h"
#include "vxrom/store_access.h"

using namespace device;
using namespace line;
using namespace store;

namespace {

/// Larger than this, a slot map is no slot map.
const size_t kLargestSlots = 1u << 20;

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
    if (record->eui64 && ParseEui64(*record->eui64, &number) && !(board.keeps && board.eui == number) &&
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
ExitCode SerialWords(const ProvisionOptions& options, const SerialRules& rules,
                     const ProgrammedLookup& programmed, std::vector<BoardState>* boards) {
  for (const std::string& word : options.serials) {
    const size_t equals = word.find('=');
    PciAddress address = kNoAddress;
    if (equals == std::string::npos || !ParsePciAddress(word.substr(0, equals), &address)) {
      VxromReason("--serial " + word + ": not ADDRESS=TEXT (e.g. 04:00.0=SN1234)");
      return kExitCommandLine;
    }
    auto board = std::find_if(boards->begin(), boards->end(),
                              [address](const BoardState& b) { return b.address == address; });
    std::string serial, why;
    Refused refused = Refused::kNot;
    if (board == boards->end() || board->stage == BoardStage::kSkipped) {
      VxromReason("--serial " + word + ": no board at " + FormatPciAddress(address) + " is to be programmed");
      return kExitCommandLine;
    }
    if (board->serial) {
      VxromReason("--serial names " + FormatPciAddress(address) + " twice");
      return kExitCommandLine;
    }
    if (!CleanSerial(word.substr(equals + 1), rules, &serial, &why)) {
      VxromReason("--serial " + word + ": " + why);
      return kExitCommandLine;
    }
    const StoreStatus status = Refusal(serial, *board, *boards, programmed, &refused, &why);
    if (status != StoreStatus::kOk) return StoreFailure(status, why);
    if (refused != Refused::kNot) {
      VxromReason(why + ": no board touched");
      return refused == Refused::kTwice ? kExitCommandLine : kExitSerialProgrammed;
    }
    board->serial = serial;
  }
  return kExitOk;
}

/// --scan: each board in turn, again after a slip.
ExitCode ScanSerials(const SerialRules& rules, const SlotLabels& slots, const ProgrammedLookup& programmed,
                     const LineReader& read, std::vector<BoardState>* boards) {
  for (BoardState& b : *boards) {
    if (b.stage == BoardStage::kSkipped) continue;
    const std::string name = BoardName(b.address, slots);
    for (;;) {
      std::string line, serial, why;
      Refused refused = Refused::kNot;
      if (!read((slots.count(b.address) ? "board in " : "board at ") + name + ": ", &line)) {
        VxromReason("no serial for the board at " + name + ": no board touched");
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
      VxromReason(name + ": " + why + ": scan this board's label again");
    }
  }
  return kExitOk;
}

}  // namespace

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
  return ParseSlots(std::string(data.begin(), data.end()), name, slots, why);
}

ExitCode AssignSerials(const ProvisionOptions& options, const SerialRules& rules, const SlotLabels& slots,
                       const ProgrammedLookup& programmed, const LineReader& read,
                       std::vector<BoardState>* boards) {
  const ExitCode result = SerialWords(options, rules, programmed, boards);
  if (result != 0 || !options.scan) return result;
  return ScanSerials(rules, slots, programmed, read, boards);
}
