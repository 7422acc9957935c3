// Serial numbers as an operator types or scans them: trimmed of blanks,
// checked against the line's pattern, told apart without regard to case;
// and the labels of a PC's slots, by which a scan prompt names a board.
#ifndef VXROM_SERIALS_H_
#define VXROM_SERIALS_H_

#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "device/controller_library.h"
#include "vxrom/command_line.h"
#include "vxrom/provision_view.h"
#include "vxrom/store.h"

/// What a serial must look like.
struct SerialRules {
  std::string pattern_text;  ///< --serial-pattern as given; empty: any.
  std::optional<std::regex> pattern;
};

/// Reads --serial-pattern (ECMAScript syntax, matched against the whole
/// serial).  @return false with *why when it is no regular expression.
bool MakeSerialRules(const std::string& pattern, SerialRules* rules, std::string* why);

/// The serial raw stands for, trimmed of blanks.  @return false with *why
/// when it is empty, not text, or not of the pattern.
bool CleanSerial(const std::string& raw, const SerialRules& rules, std::string* serial,
                 std::string* why);

/// The form serials are compared in: two that differ only in the case of
/// their letters are one board's.
std::string SerialKey(const std::string& serial);

/// A PC's slots: the label of the slot each controller's board sits in.
typedef std::map<PciAddress, std::string> SlotLabels;

/// Reads --slots FILE: one "ADDRESS = LABEL" a line (BB:DD.F or BB-DD-F),
/// blank lines and lines starting with '#' ignored.  @return false with
/// *why naming the line.
bool ReadSlots(const std::wstring& path, SlotLabels* slots, std::string* why);

/// How a prompt or a reason names the board at address: "slot A3
/// (04:00.0)", or "04:00.0" without a label.
std::string BoardName(PciAddress address, const SlotLabels& slots);

/// The attempt that programmed a serial, none when none (Store::
/// ProgrammedSerial).
typedef std::function<StoreStatus(const std::string& serial, std::optional<HistoryRecord>* record,
                                  std::string* reason)>
    ProgrammedLookup;
/// Shows prompt and reads one line typed or scanned; false at the end of
/// the input.
typedef std::function<bool(const std::string& prompt, std::string* line)> LineReader;

/// Binds a serial to each board still to program: from --serial words,
/// or with --scan read for each board in turn, asking for the same board
/// again after a slip (nothing, not text, not of the pattern, a board's
/// serial twice, or one programmed already).  A serial programmed
/// already goes to a board --rework names, whose number it retires.
/// @return 0, -4 (a word malformed or twice, the input's end), -24 (a
///         --serial programmed already) or a store failure's code.
int AssignSerials(const VxromOptions& options, const SerialRules& rules, const SlotLabels& slots,
                  const ProgrammedLookup& programmed, const LineReader& read,
                  std::vector<BoardState>* boards);

#endif  // VXROM_SERIALS_H_
