// vxrom's command line: subcommands and long options, read with CLI11.
#ifndef VXROM_COMMAND_LINE_H_
#define VXROM_COMMAND_LINE_H_

#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "device/controller_library.h"
#include "device/rom_types.h"

/// The subcommand that a run carries out.
enum class Command { kList,
                     kRestore,
                     kInfo,
                     kPoolAdd,
                     kPoolImport,
                     kPoolStatus,
                     kPoolList,
                     kPoolRelease,
                     kHistory,
                     kProvision,
                     kJournal,
                     kPoolRetire,
                     kPoolLog,
                     kPoolLowWater,
                     kHistoryVerify,
                     kJobRelease,
                     kJobList,
                     kJobShow,
                     kJobRetire,
                     kReport };

/// How history is written.
enum class HistoryFormat { kText,
                           kJson,
                           kCsv };

/// What the command line asks for.
struct VxromOptions {
  Command command = Command::kList;
  bool json = false;      ///< list, info: one JSON document on stdout.
  bool quiet = false;     ///< No progress, whatever stderr is.
  bool progress = false;  ///< Progress even when stderr is no terminal.
  std::wstring image_path;
  bool has_log = false;
  std::wstring log_path;
  bool has_address = false;
  PciAddress address = 0xFFFF;
  uint32_t rom_type_selector = device::kRomTypeAuto;  ///< A RomTypeTable row.
  bool check_revision = true;
  bool clone_eui = false;  ///< restore: --clone-eui.
  // The pool, the history and provision.
  std::string db_url;  ///< --db, else VXROM_DB, else the state folder's.
  std::string first;   ///< pool add FIRST.
  std::string last;    ///< pool add LAST; empty for one number.
  HistoryFormat history_format = HistoryFormat::kText;
  std::string eui;      ///< history --eui; the worker's number.
  std::string serial;   ///< history --serial.
  std::string station;  ///< history --station; provision's station.
  std::string since;    ///< history --since.
  std::string until;    ///< history --until; empty: none.
  std::string result;   ///< history --result ok|failed; empty: both.
  std::string run_id;   ///< history, pool release --run; empty: every run.
  std::string state;    ///< pool list --state; empty: every state.
  std::string host;     ///< pool release --host.
  bool force = false;   ///< pool release --force: a run of another PC.
  bool csv = false;     ///< pool list --csv.
  bool has_eui = false, has_serial = false, has_station = false,
       has_since = false;
  std::wstring firmware_path;  ///< provision FIRMWARE.
  std::wstring config_path;    ///< provision CONFIG; empty when none.
  unsigned jobs = 0;           ///< --jobs; 0: every board at once.
  uint32_t board_timeout = 0;  ///< --board-timeout, s; 0: from the part.
  bool no_eui = false;
  bool scan = false;
  std::vector<std::string> rework;    ///< --rework ADDRESS or "all", as given.
  std::vector<std::string> serials;   ///< --serial ADDRESS=TEXT, as given.
  std::vector<PciAddress> addresses;  ///< provision --address, repeatable.
  unsigned expect = 0;                ///< --expect N; 0: any number.
  std::string serial_pattern;         ///< --serial-pattern REGEX.
  std::wstring slots_path;            ///< --slots FILE; empty: none.
  std::string job;                    ///< provision --job; job show/retire/release NAME.
  std::string note;                   ///< job release --note.
  std::optional<uint64_t> low_water;  ///< --low-water N; pool low-water N (none: cleared).
  std::wstring output_path;           ///< report -o FILE; empty: standard output.
};

/// Reads args (the program's own name first) into *options.
/// @return true to go on; false when the run ends here with *exit_code:
///         0 after --help or --version, -4 after a mistake (said on
///         stderr).
bool ParseVxromCommandLine(const std::vector<std::wstring>& args,
                           VxromOptions* options, int* exit_code);

#endif  // VXROM_COMMAND_LINE_H_
