// Binding serials to the boards of a provision run: from --serial words,
// or scanned in turn, asking for the same board again after a slip; and
// the PC's slot map, read from its file.
#ifndef VXROM_PROVISION_SCAN_H_
#define VXROM_PROVISION_SCAN_H_

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/exit_codes.h"
#include "line/serials.h"
#include "store/store.h"
#include "vxrom/options.h"
#include "vxrom/provision/provision_view.h"

/// Reads --slots FILE.  @return false with *why naming the line.
bool ReadSlots(const std::wstring& path, line::SlotLabels* slots, std::string* why);

/// The attempt that programmed a serial, none when none (Store::
/// ProgrammedSerial).
typedef std::function<store::StoreStatus(const std::string& serial, std::optional<line::HistoryRecord>* record,
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
device::ExitCode AssignSerials(const ProvisionOptions& options, const line::SerialRules& rules, const line::SlotLabels& slots,
                               const ProgrammedLookup& programmed, const LineReader& read,
                               std::vector<BoardState>* boards);

#endif  // VXROM_PROVISION_SCAN_H_
