#include "vxrom/options.h"

#include <CLI/CLI.hpp>

#include "platform/text.h"
#include "store/store.h"
#include "vxrom/output.h"

namespace {

/// The ROM types that --srom names, as vxsrom's /srom names them.
const wchar_t kRomTypes[] = L"0 (detect the part, the default), 1 to 4, 255";

/// The RomTypeTable row of a --srom number; false for no listed type.
bool RomTypeRow(unsigned number, uint32_t* row) {
  if (number <= 4) {
    *row = number;
    return true;
  }
  if (number == 255) {
    *row = kRomType255;
    return true;
  }
  return false;
}

/// What the parser is handed, in UTF-8: the operator's words as typed.
struct Words {
  bool json = false;
  bool quiet = false;
  bool progress = false;
  std::string image;
  std::string log;
  std::string address;
  unsigned srom = 0;
  bool no_revision_check = false;
  bool clone_eui = false;
  std::string db;
  std::string first, last, file;
  bool csv = false;
  std::string eui, serial, station, since, until, result, run_id, state, host;
  bool force = false;
  std::string firmware, config;
  unsigned jobs = 0;
  uint32_t board_timeout = 0;
  bool no_eui = false, scan = false;
  std::vector<std::string> rework, serials, addresses;
  unsigned expect = 0;
  std::string serial_pattern, slots;
  std::string job, output;
};

/// Refuses a database that would keep nothing.
CLI::Validator DatabaseCheck() {
  return CLI::Validator(
      [](std::string& value) {
        std::string why;
        return DatabaseUrlKeeps(value, &why) ? std::string() : why;
      },
      "");
}

/// --db on a subcommand; a database that would keep nothing is refused.
void AddDatabaseOption(CLI::App* command, std::string* url) {
  command->add_option("--db", *url,
                      "The database: sqlite:PATH, postgresql://USER@HOST/DATABASE or "
                      "odbc:CONNECTION-STRING (default: VXROM_DB, else vxrom.db in the state folder)")
      ->type_name("URL")
      ->check(DatabaseCheck());
}

/// Refuses a word that is no controller address.
CLI::Validator AddressCheck() {
  return CLI::Validator(
      [](std::string& value) {
        PciAddress address = kNoAddress;
        return ParsePciAddress(value, &address)
                   ? std::string()
                   : value +
                         ": not an address: BB:DD.F or BB-DD-F in hexadecimal (bus to FF, "
                         "device to 1F, function to 7)";
      },
      "");
}

/// Prints text that the parser produced (help, version) on stdout.
int PrintAndSucceed(const std::string& text) {
  WriteResult(text);
  return 0;
}

}  // namespace

bool ParseVxromCommandLine(const std::vector<std::wstring>& args,
                           VxromOptions* options, int* exit_code) {
  Words words;
  CLI::App app{
      "vxrom: programs a line's boards, each with its own EUI-64 from a pool, and keeps "
      "their history (pool, provision, history, journal); lists VX5130 and VX5130A "
      "controllers and their serial ROMs, restores a ROM from a dumped image, tells what "
      "an image file is.",
      "vxrom"};
  app.set_version_flag("--version", std::string("vxrom ") + VXROM_VERSION);
  app.require_subcommand(1);
  app.fallthrough();
  CLI::Option* quiet =
      app.add_flag("-q,--quiet", words.quiet, "No progress on standard error");
  app.add_flag("--progress", words.progress,
               "Progress on standard error even when it is no terminal")
      ->excludes(quiet);

  CLI::App* list = app.add_subcommand(
      "list",
      "Every controller: address, chip, the ROM's geometry and type, what "
      "the ROM holds");
  list->add_flag("--json", words.json, "One JSON document on standard output");
  list->add_option("--db", words.db,
                   "The line's database: mark a board whose EUI-64 it has spoiled or "
                   "programmed on another board")
      ->type_name("URL")
      ->check(DatabaseCheck());

  CLI::App* restore = app.add_subcommand(
      "restore", "Writes a raw image (as vxsrom /dump made it) back to a ROM");
  restore->add_option("IMAGE", words.image, "The image file")->required()->type_name("FILE");
  restore->add_option("--address", words.address,
                      "The controller, BB:DD.F or BB-DD-F (hexadecimal); "
                      "needed when there are several")
      ->type_name("ADDRESS");
  restore->add_option("--srom", words.srom,
                      "ROM type: " + platform::Utf8FromWide(kRomTypes))
      ->type_name("TYPE");
  restore->add_flag("--no-revision-check", words.no_revision_check,
                    "Write an image made for another chip revision");
  restore->add_flag("--clone-eui", words.clone_eui,
                    "Write the image's EUI-64 even when another controller "
                    "holds it or the board holds another (two boards then "
                    "share one)");
  restore->add_option("--log", words.log,
                      "Append the run's record to this run log")
      ->type_name("FILE");

  CLI::App* info = app.add_subcommand(
      "info", "What the controller library says of an image file");
  info->add_option("IMAGE", words.image, "The image file")->required()->type_name("FILE");
  info->add_flag("--json", words.json, "One JSON document on standard output");

  CLI::App* pool = app.add_subcommand(
      "pool", "The EUI-64s that provision hands out, one per board");
  pool->require_subcommand(1);
  CLI::App* pool_add = pool->add_subcommand(
      "add", "Adds the range FIRST to LAST (inclusive; LAST defaults to FIRST)");
  pool_add->add_option("FIRST", words.first, "XX-XX-XX-XX-XX-XX-XX-XX")->required()->type_name("EUI-64");
  pool_add->add_option("LAST", words.last, "XX-XX-XX-XX-XX-XX-XX-XX")
      ->type_name("EUI-64");
  AddDatabaseOption(pool_add, &words.db);
  CLI::App* pool_import = pool->add_subcommand(
      "import", "Adds the EUI-64s of a file, one a line");
  pool_import->add_option("FILE", words.file, "The file")->required()->type_name("FILE");
  AddDatabaseOption(pool_import, &words.db);
  CLI::App* pool_status = pool->add_subcommand(
      "status", "How many EUI-64s are free, reserved, programmed, spoiled");
  pool_status->add_flag("--json", words.json, "One JSON object on standard output");
  AddDatabaseOption(pool_status, &words.db);
  CLI::App* pool_list = pool->add_subcommand(
      "list", "The numbers, in spans of one state; reserved ones with their station, host and run");
  pool_list->add_option("--state", words.state, "free, reserved, programmed or spoiled: only these")
      ->check(CLI::IsMember({"free", "reserved", "programmed", "spoiled"}).description(""))
      ->type_name("STATE");
  CLI::Option* list_json = pool_list->add_flag("--json", words.json, "A JSON array");
  pool_list->add_flag("--csv", words.csv, "CSV with a header row")->excludes(list_json);
  AddDatabaseOption(pool_list, &words.db);
  CLI::App* pool_release = pool->add_subcommand(
      "release", "Settles the numbers a run that will never come back holds: spoiled, each with a record");
  CLI::Option* release_run = pool_release->add_option("--run", words.run_id, "The run (its run_id)")
                                 ->type_name("RUN");
  pool_release->add_option("--station", words.station, "The station, with --host")->excludes(release_run)->type_name("NAME");
  pool_release->add_option("--host", words.host, "The station's PC, with --station")->excludes(release_run)->type_name("HOST");
  pool_release->add_flag("--force", words.force,
                         "A run of another PC, whose processes this one cannot see");
  AddDatabaseOption(pool_release, &words.db);

  CLI::App* history = app.add_subcommand(
      "history", "One record per board attempt of provision, oldest first");
  CLI::Option* history_json = history->add_flag("--json", words.json, "A JSON array");
  history->add_flag("--csv", words.csv, "CSV with a header row (RFC 4180)")
      ->excludes(history_json);
  history->add_option("--eui", words.eui, "Only this EUI-64")
      ->type_name("EUI-64");
  history->add_option("--serial", words.serial, "Only this serial number")
      ->type_name("SERIAL");
  history->add_option("--address", words.address, "Only this controller address")
      ->type_name("ADDRESS");
  history->add_option("--station", words.station, "Only this station")
      ->type_name("NAME");
  history->add_option("--since", words.since,
                      "Only attempts started at or after TIME: ISO 8601 (2024-05-01, "
                      "2024-05-01T08:00:00Z, 2024-05-01 10:00+02:00; UTC without a zone)")
      ->type_name("TIME");
  history->add_option("--until", words.until,
                      "Only attempts started at or before TIME (a date: to its end)")
      ->type_name("TIME");
  history->add_option("--result", words.result, "ok or failed: only the attempts that passed, or failed")
      ->check(CLI::IsMember({"ok", "failed"}).description(""))
      ->type_name("ok|failed");
  history->add_option("--run", words.run_id, "Only the attempts of this run (its run_id)")
      ->type_name("RUN");
  AddDatabaseOption(history, &words.db);

  CLI::App* provision = app.add_subcommand(
      "provision",
      "Erases, writes and verifies every controller the firmware is for, "
      "each with its own EUI-64 from the pool, several at once");
  provision->add_option("FIRMWARE", words.firmware, "The firmware (.mem) file")->required()->type_name("FILE");
  provision->add_option("CONFIG", words.config, "The configuration (.ini) file")
      ->type_name("FILE");
  provision->add_option("--jobs", words.jobs, "Boards at once, 1 to 1024 (default: all)")
      ->type_name("N")
      ->check(CLI::Range(1u, 1024u).description(""));
  provision->add_option("--station", words.station,
                        "The station's name in history (default: the host name)")
      ->type_name("NAME");
  provision->add_flag("--no-eui", words.no_eui,
                      "Write no EUI-64 (the pool is not used)");
  provision->add_flag("--json", words.json,
                      "One JSON object a line on standard output");
  CLI::Option* serials = provision->add_option(
      "--serial", words.serials,
      "ADDRESS=SERIAL: the serial number of the board at ADDRESS (repeatable)");
  serials->type_name("ADDRESS=SERIAL");
  provision->add_flag("--scan", words.scan,
                      "Ask on the terminal for each board's serial number")
      ->excludes(serials);
  provision->add_option("--address", words.addresses,
                        "Only the board at ADDRESS, BB:DD.F or BB-DD-F (repeatable)")
      ->check(AddressCheck())
      ->type_name("ADDRESS");
  provision->add_option("--expect", words.expect,
                        "Refuse the run, before any erase, unless N boards are chosen")
      ->type_name("N");
  provision->add_option("--rework", words.rework,
                        "ADDRESS, or all: program the board even when it carries a number "
                        "already programmed or its serial is; its old number is retired "
                        "(repeatable)")
      ->type_name("ADDRESS");
  provision->add_option("--serial-pattern", words.serial_pattern,
                        "REGEX every serial must match (ECMAScript syntax, whole serial)")
      ->type_name("REGEX");
  provision->add_option("--slots", words.slots,
                        "FILE of \"ADDRESS = LABEL\" lines: --scan names each board by its slot")
      ->type_name("FILE");
  provision->add_option("--board-timeout", words.board_timeout,
                        "Seconds a board may take before its worker is ended, 1 to 86400 "
                        "(default: from the ROM part, about 100 s)")
      ->type_name("SECONDS")
      ->check(CLI::Range(1u, 86400u).description(""));
  AddDatabaseOption(provision, &words.db);

  CLI::App* report = app.add_subcommand(
      "report", "The line's yield, failures, pool and rework: one HTML page, or JSON");
  report->add_option("-o,--output", words.output,
                     "The file to write (with --json, standard output without it)")
      ->type_name("FILE");
  report->add_flag("--json", words.json, "One JSON object of the same figures");
  report->add_option("--since", words.since, "Only attempts started at or after TIME (as history takes it)")
      ->type_name("TIME");
  report->add_option("--until", words.until, "Only attempts started at or before TIME (a date: to its end)")
      ->type_name("TIME");
  report->add_option("--station", words.station, "Only this station")->type_name("NAME");
  report->add_option("--job", words.job, "Only this job: NAME (any version) or NAME@VERSION")
      ->type_name("NAME");
  AddDatabaseOption(report, &words.db);

  CLI::App* journal = app.add_subcommand(
      "journal", "The board records this station keeps that are not yet on their store");
  journal->add_flag("--json", words.json, "A JSON array");

  // A first word that names no command is told so, with the commands:
  // CLI11 alone would only say that a command is required.
  if (args.size() > 1) {
    const std::string first = platform::Utf8FromWide(args[1]);
    std::string names;
    bool known = first.empty() || first[0] == '-';
    for (const CLI::App* command : app.get_subcommands(
             [](CLI::App* c) { return !c->get_group().empty(); })) {
      names += (names.empty() ? "" : ", ") + command->get_name();
      known = known || command->get_name() == first;
    }
    if (!known) {
      VxromReasons().Reason(L"\"%ls\" is no vxrom command; the commands are %ls",
                            args[1].c_str(),
                            platform::WideFromUtf8(names).c_str());
      *exit_code = -4;
      return false;
    }
  }
  // CLI11 takes the words after the program's name, last first.
  std::vector<std::string> reversed;
  for (size_t i = args.size(); i > 1; --i)
    reversed.push_back(platform::Utf8FromWide(args[i - 1]));
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    *exit_code = PrintAndSucceed(app.help());
    return false;
  } catch (const CLI::CallForAllHelp&) {
    *exit_code = PrintAndSucceed(app.help("", CLI::AppFormatMode::All));
    return false;
  } catch (const CLI::CallForVersion& e) {
    *exit_code = PrintAndSucceed(std::string(e.what()) + "\n");
    return false;
  } catch (const CLI::ParseError& e) {
    VxromReasons().Reason(L"%ls (vxrom --help lists the commands)",
                          platform::WideFromUtf8(e.what()).c_str());
    *exit_code = -4;
    return false;
  }

  options->json = words.json;
  options->quiet = words.quiet;
  options->progress = words.progress;
  options->image_path = platform::WideFromUtf8(words.image);
  options->db_url = words.db;
  options->first = words.first;
  options->last = words.last;
  options->eui = words.eui;
  options->has_eui = !words.eui.empty();
  options->serial = words.serial;
  options->has_serial = history->count("--serial") > 0;
  options->station = words.station;
  options->has_station = !words.station.empty();
  options->since = words.since;
  options->has_since = !words.since.empty();
  options->until = words.until;
  options->result = words.result;
  options->run_id = words.run_id;
  options->firmware_path = platform::WideFromUtf8(words.firmware);
  options->config_path = platform::WideFromUtf8(words.config);
  options->jobs = words.jobs;
  options->board_timeout = words.board_timeout;
  options->no_eui = words.no_eui;
  options->scan = words.scan;
  options->rework = words.rework;
  options->serials = words.serials;
  for (const std::string& a : words.addresses) {
    options->addresses.push_back(kNoAddress);
    ParsePciAddress(a, &options->addresses.back());
  }
  options->expect = words.expect;
  options->serial_pattern = words.serial_pattern;
  options->slots_path = platform::WideFromUtf8(words.slots);
  options->history_format = words.csv    ? HistoryFormat::kCsv
                            : words.json ? HistoryFormat::kJson
                                         : HistoryFormat::kText;
  if (pool_add->parsed()) options->command = Command::kPoolAdd;
  if (pool_import->parsed()) {
    options->command = Command::kPoolImport;
    options->image_path = platform::WideFromUtf8(words.file);
  }
  if (pool_status->parsed()) options->command = Command::kPoolStatus;
  if (pool_list->parsed()) options->command = Command::kPoolList;
  if (pool_release->parsed()) options->command = Command::kPoolRelease;
  options->state = words.state;
  options->host = words.host;
  options->force = words.force;
  options->csv = words.csv;
  if (provision->parsed()) options->command = Command::kProvision;
  if (history->parsed()) options->command = Command::kHistory;
  if (journal->parsed()) options->command = Command::kJournal;
  if (report->parsed()) options->command = Command::kReport;
  options->job = words.job;
  options->output_path = platform::WideFromUtf8(words.output);
  if (history->parsed() && !words.address.empty()) {
    options->has_address = true;
    if (!ParsePciAddress(words.address, &options->address)) {
      VxromReasons().Reason(
          L"--address %ls: not an address: BB:DD.F or BB-DD-F in "
          L"hexadecimal (bus to FF, device to 1F, function to 7)",
          platform::WideFromUtf8(words.address).c_str());
      *exit_code = -4;
      return false;
    }
  }
  if (list->parsed()) options->command = Command::kList;
  if (info->parsed()) options->command = Command::kInfo;
  if (restore->parsed()) {
    options->command = Command::kRestore;
    options->check_revision = !words.no_revision_check;
    options->clone_eui = words.clone_eui;
    options->has_log = restore->count("--log") > 0;
    options->log_path = platform::WideFromUtf8(words.log);
    options->has_address = restore->count("--address") > 0;
    if (options->has_address &&
        !ParsePciAddress(words.address, &options->address)) {
      VxromReasons().Reason(
          L"--address %ls: not an address: BB:DD.F or BB-DD-F in "
          L"hexadecimal (bus to FF, device to 1F, function to 7)",
          platform::WideFromUtf8(words.address).c_str());
      *exit_code = -4;
      return false;
    }
    if (!RomTypeRow(words.srom, &options->rom_type_selector)) {
      VxromReasons().Reason(L"--srom %u: the ROM types are %ls", words.srom,
                            kRomTypes);
      *exit_code = -4;
      return false;
    }
  }
  return true;
}
