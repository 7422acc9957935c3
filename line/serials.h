// Serial numbers as an operator types or scans them: trimmed of blanks,
// checked against the line's pattern, told apart without regard to case;
// and the labels of a PC's slots, by which a scan prompt names a board.
#ifndef VXROM_LINE_SERIALS_H_
#define VXROM_LINE_SERIALS_H_

#include <map>
#include <optional>
#include <regex>
#include <string>

#include "device/controller_library.h"

namespace line {

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
/// their letters (A to Z) are one board's.
std::string SerialKey(const std::string& serial);

/// A PC's slots: the label of the slot each controller's board sits in.
typedef std::map<PciAddress, std::string> SlotLabels;

/// Reads a slot map: one "ADDRESS = LABEL" a line (BB:DD.F or BB-DD-F),
/// blank lines and lines starting with '#' ignored.  @return false with
/// *why naming the line (after name).
bool ParseSlots(const std::string& text, const std::string& name, SlotLabels* slots,
                std::string* why);

/// How a prompt or a reason names the board at address: "slot A3
/// (04:00.0)", or "04:00.0" without a label.
std::string BoardName(PciAddress address, const SlotLabels& slots);

}  // namespace line

#endif  // VXROM_LINE_SERIALS_H_
