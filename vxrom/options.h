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

/// What every subcommand may take.
struct CommonOptions {
  bool json = false;      ///< One JSON document (or object a line) on stdout.
  bool quiet = false;     ///< No progress, whatever stderr is.
  bool progress = false;  ///< Progress even when stderr is no terminal.
  std::string db_url;     ///< --db, else VXROM_DB, else the state folder's.
};

/// list, restore and info: the ROM's own commands.
struct RomOptions {
  std::wstring image_path;  ///< restore, info IMAGE.
  bool has_log = false;
  std::wstring log_path;  ///< restore --log.
  bool has_address = false;
  PciAddress address = 0xFFFF;                        ///< restore --address.
  uint32_t rom_type_selector = device::kRomTypeAuto;  ///< A RomTypeTable row.
  bool check_revision = true;                         ///< Not --no-revision-check.
  bool clone_eui = false;                             ///< restore --clone-eui.
};

/// pool add, import, retire, low-water, status, list, log, release.
struct PoolOptions {
  std::string first;                  ///< add, retire FIRST.
  std::string last;                   ///< add, retire LAST; empty for one number.
  std::wstring file_path;             ///< import FILE.
  std::string state;                  ///< list --state; empty: every state.
  bool csv = false;                   ///< list --csv.
  std::string run_id;                 ///< release --run.
  std::string station;                ///< release --station.
  std::string host;                   ///< release --host.
  bool force = false;                 ///< release --force: a run of another PC.
  std::optional<uint64_t> low_water;  ///< status --low-water; low-water N (none: cleared).
};

/// history, and history verify.
struct HistoryOptions {
  HistoryFormat format = HistoryFormat::kText;
  std::string eui, serial, station, since, until;  ///< The filters as typed.
  std::string result;                              ///< ok|failed; empty: both.
  std::string run_id;                              ///< --run; empty: every run.
  bool has_eui = false, has_serial = false, has_station = false;
  bool has_address = false;
  PciAddress address = 0xFFFF;  ///< --address.
};

/// provision.
struct ProvisionOptions {
  std::wstring firmware_path;         ///< FIRMWARE; empty with --job alone.
  std::wstring config_path;           ///< CONFIG; empty when none.
  std::string job;                    ///< --job NAME[@VERSION]; empty: none.
  std::string station;                ///< --station; empty: the host name.
  unsigned jobs = 0;                  ///< --jobs; 0: every board at once.
  uint32_t board_timeout = 0;         ///< --board-timeout, s; 0: from the part.
  bool no_eui = false;                ///< --no-eui.
  bool scan = false;                  ///< --scan.
  std::vector<std::string> rework;    ///< --rework ADDRESS or "all", as given.
  std::vector<std::string> serials;   ///< --serial ADDRESS=TEXT, as given.
  std::vector<PciAddress> addresses;  ///< --address, repeatable.
  unsigned expect = 0;                ///< --expect N; 0: any number.
  std::string serial_pattern;         ///< --serial-pattern REGEX.
  std::wstring slots_path;            ///< --slots FILE; empty: none.
  std::optional<uint64_t> low_water;  ///< --low-water N; none: the pool's own.
};

/// job release, list, show, retire.
struct JobOptions {
  std::string name;            ///< NAME, or NAME@VERSION.
  std::wstring firmware_path;  ///< release FIRMWARE.
  std::wstring config_path;    ///< release CONFIG; empty when none.
  bool no_eui = false;         ///< release --no-eui.
  std::string note;            ///< release --note.
};

/// report.
struct ReportOptions {
  std::wstring output_path;  ///< -o FILE; empty: standard output.
  std::string since, until;  ///< The window as typed; empty: open.
  bool has_station = false;
  std::string station;  ///< --station.
  std::string job;      ///< --job NAME or NAME@VERSION; empty: every job.
};

/// What the command line asks for: the command, and the options of its
/// own kind (the others stay as they start).
struct VxromOptions {
  Command command = Command::kList;
  CommonOptions common;
  RomOptions rom;
  PoolOptions pool;
  HistoryOptions history;
  ProvisionOptions provision;
  JobOptions job;
  ReportOptions report;
};

/// Reads args (the program's own name first) into *options.
/// @return true to go on; false when the run ends here with *exit_code:
///         0 after --help or --version, -4 after a mistake (said on
///         stderr).
bool ParseVxromCommandLine(const std::vector<std::wstring>& args,
                           VxromOptions* options, int* exit_code);

#endif  // VXROM_COMMAND_LINE_H_
