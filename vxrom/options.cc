#include "vxrom/options.h"

#include <CLI/CLI.hpp>

#include "device/exit_codes.h"
#include "platform/text.h"
#include "store/store.h"
#include "vxrom/output.h"

using namespace device;
using namespace store;
using namespace line;

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
  std::string job, name, note, low_water;
  std::string output;
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

/// The subcommands, to tell afterwards which one the words chose.
struct Parsed {
  std::vector<std::pair<CLI::App*, Command>> commands;
  CLI::App* history = nullptr;
  CLI::App* restore = nullptr;
};

/// A low-water mark as typed: a count, or none.
CLI::Validator LowWaterCheck() {
  return CLI::Validator(
      [](std::string& value) {
        return value == "none" || (!value.empty() && value.size() < 19 &&
                                   value.find_first_not_of("0123456789") == std::string::npos)
                   ? std::string()
                   : value + ": a count of numbers, or none";
      },
      "");
}

/// list, restore and info: the ROM's own commands.
void AddRomCommands(CLI::App& app, Words& words, Parsed* parsed) {
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
  restore->add_option("--srom", words.srom, "ROM type: " + platform::Utf8FromWide(kRomTypes))
      ->type_name("TYPE");
  restore->add_flag("--no-revision-check", words.no_revision_check,
                    "Write an image made for another chip revision");
  restore->add_flag("--clone-eui", words.clone_eui,
                    "Write the image's EUI-64 even when another controller "
                    "holds it or the board holds another (two boards then "
                    "share one)");
  restore->add_option("--log", words.log, "Append the run's record to this run log")
      ->type_name("FILE");
  CLI::App* info = app.add_subcommand("info", "What the controller library says of an image file");
  info->add_option("IMAGE", words.image, "The image file")->required()->type_name("FILE");
  info->add_flag("--json", words.json, "One JSON document on standard output");
  parsed->restore = restore;
  parsed->commands.insert(parsed->commands.end(), {{list, Command::kList},
                                                   {restore, Command::kRestore},
                                                   {info, Command::kInfo}});
}

/// pool add, import, retire: the changes of the pool.
void AddPoolChanges(CLI::App* pool, Words& words, Parsed* parsed) {
  CLI::App* add = pool->add_subcommand(
      "add", "Adds the range FIRST to LAST (inclusive; LAST defaults to FIRST)");
  add->add_option("FIRST", words.first, "XX-XX-XX-XX-XX-XX-XX-XX")->required()->type_name("EUI-64");
  add->add_option("LAST", words.last, "XX-XX-XX-XX-XX-XX-XX-XX")->type_name("EUI-64");
  AddDatabaseOption(add, &words.db);
  CLI::App* import = pool->add_subcommand("import", "Adds the EUI-64s of a file, one a line");
  import->add_option("FILE", words.file, "The file")->required()->type_name("FILE");
  AddDatabaseOption(import, &words.db);
  CLI::App* retire = pool->add_subcommand(
      "retire", "Takes the free numbers FIRST to LAST out of use (never reserved, programmed or spoiled ones)");
  retire->add_option("FIRST", words.first, "XX-XX-XX-XX-XX-XX-XX-XX")->required()->type_name("EUI-64");
  retire->add_option("LAST", words.last, "XX-XX-XX-XX-XX-XX-XX-XX")->type_name("EUI-64");
  AddDatabaseOption(retire, &words.db);
  CLI::App* low = pool->add_subcommand(
      "low-water", "Keeps the pool's watermark: provision and pool status warn below N free numbers");
  low->add_option("N", words.low_water, "A count, or none to clear it")
      ->required()
      ->check(LowWaterCheck())
      ->type_name("N|none");
  AddDatabaseOption(low, &words.db);
  parsed->commands.insert(parsed->commands.end(), {{add, Command::kPoolAdd},
                                                   {import, Command::kPoolImport},
                                                   {retire, Command::kPoolRetire},
                                                   {low, Command::kPoolLowWater}});
}

/// pool status, list, log, release.
void AddPoolViews(CLI::App* pool, Words& words, Parsed* parsed) {
  CLI::App* status = pool->add_subcommand(
      "status", "How many EUI-64s are free, reserved, programmed, spoiled");
  status->add_flag("--json", words.json, "One JSON object on standard output");
  status->add_option("--low-water", words.low_water, "Warn below N free numbers (default: the pool's watermark)")
      ->check(LowWaterCheck())
      ->type_name("N");
  AddDatabaseOption(status, &words.db);
  CLI::App* list = pool->add_subcommand(
      "list", "The numbers, in spans of one state; reserved ones with their station, host and run");
  list->add_option("--state", words.state, "free, reserved, programmed or spoiled: only these")
      ->check(CLI::IsMember({"free", "reserved", "programmed", "spoiled"}).description(""))
      ->type_name("STATE");
  CLI::Option* list_json = list->add_flag("--json", words.json, "A JSON array");
  list->add_flag("--csv", words.csv, "CSV with a header row")->excludes(list_json);
  AddDatabaseOption(list, &words.db);
  CLI::App* log = pool->add_subcommand("log", "The pool's changes and jobs' retirements: who, when, what");
  log->add_flag("--json", words.json, "A JSON array");
  AddDatabaseOption(log, &words.db);
  CLI::App* release = pool->add_subcommand(
      "release", "Settles the numbers a run that will never come back holds: spoiled, each with a record");
  CLI::Option* run = release->add_option("--run", words.run_id, "The run (its run_id)")->type_name("RUN");
  release->add_option("--station", words.station, "The station, with --host")->excludes(run)->type_name("NAME");
  release->add_option("--host", words.host, "The station's PC, with --station")->excludes(run)->type_name("HOST");
  release->add_flag("--force", words.force, "A run of another PC, whose processes this one cannot see");
  AddDatabaseOption(release, &words.db);
  parsed->commands.insert(parsed->commands.end(), {{status, Command::kPoolStatus},
                                                   {list, Command::kPoolList},
                                                   {log, Command::kPoolLog},
                                                   {release, Command::kPoolRelease}});
}

/// history, and history verify.
void AddHistoryCommand(CLI::App& app, Words& words, Parsed* parsed) {
  CLI::App* history = app.add_subcommand("history", "One record per board attempt of provision, oldest first");
  history->require_subcommand(0, 1);
  CLI::Option* json = history->add_flag("--json", words.json, "A JSON array");
  history->add_flag("--csv", words.csv, "CSV with a header row (RFC 4180)")->excludes(json);
  history->add_option("--eui", words.eui, "Only this EUI-64")->type_name("EUI-64");
  history->add_option("--serial", words.serial, "Only this serial number")->type_name("SERIAL");
  history->add_option("--address", words.address, "Only this controller address")->type_name("ADDRESS");
  history->add_option("--station", words.station, "Only this station")->type_name("NAME");
  history->add_option("--since", words.since,
                      "Only attempts started at or after TIME: ISO 8601 (2024-05-01, "
                      "2024-05-01T08:00:00Z, 2024-05-01 10:00+02:00; UTC without a zone)")
      ->type_name("TIME");
  history->add_option("--until", words.until, "Only attempts started at or before TIME (a date: to its end)")
      ->type_name("TIME");
  history->add_option("--result", words.result, "ok or failed: only the attempts that passed, or failed")
      ->check(CLI::IsMember({"ok", "failed"}).description(""))
      ->type_name("ok|failed");
  history->add_option("--run", words.run_id, "Only the attempts of this run (its run_id)")->type_name("RUN");
  AddDatabaseOption(history, &words.db);
  CLI::App* verify = history->add_subcommand(
      "verify", "Walks the chain of records, pool changes and jobs: names the first one changed, removed or inserted");
  AddDatabaseOption(verify, &words.db);
  parsed->history = history;
  parsed->commands.insert(parsed->commands.end(), {{history, Command::kHistory},
                                                   {verify, Command::kHistoryVerify}});
}

/// job release, list, show, retire.
void AddJobCommands(CLI::App& app, Words& words, Parsed* parsed) {
  CLI::App* job = app.add_subcommand("job", "The firmware an engineer released for the line, in versions");
  job->require_subcommand(1);
  CLI::App* release = job->add_subcommand(
      "release", "Stores FIRMWARE (and CONFIG) as the next version of job NAME");
  release->add_option("NAME", words.name, "The job's name")->required()->type_name("NAME");
  release->add_option("FIRMWARE", words.firmware, "The firmware (.mem) file")->required()->type_name("FILE");
  release->add_option("CONFIG", words.config, "The configuration (.ini) file")->type_name("FILE");
  release->add_flag("--no-eui", words.no_eui, "Boards of this job get no EUI-64");
  release->add_option("--note", words.note, "Words kept with the release")->type_name("TEXT");
  AddDatabaseOption(release, &words.db);
  CLI::App* list = job->add_subcommand("list", "Every version of every job");
  list->add_flag("--json", words.json, "A JSON array");
  AddDatabaseOption(list, &words.db);
  CLI::App* show = job->add_subcommand("show", "One job version (default: the latest in use)");
  show->add_option("JOB", words.name, "NAME or NAME@VERSION")->required()->type_name("JOB");
  show->add_flag("--json", words.json, "One JSON object");
  AddDatabaseOption(show, &words.db);
  CLI::App* retire = job->add_subcommand("retire", "Takes a version out of use: provision refuses it");
  retire->add_option("JOB", words.name, "NAME@VERSION")->required()->type_name("JOB");
  AddDatabaseOption(retire, &words.db);
  parsed->commands.insert(parsed->commands.end(), {{release, Command::kJobRelease},
                                                   {list, Command::kJobList},
                                                   {show, Command::kJobShow},
                                                   {retire, Command::kJobRetire}});
}

/// provision.
void AddProvisionCommand(CLI::App& app, Words& words, Parsed* parsed) {
  CLI::App* p = app.add_subcommand(
      "provision",
      "Erases, writes and verifies every controller the firmware is for, "
      "each with its own EUI-64 from the pool, several at once");
  p->add_option("FIRMWARE", words.firmware, "The firmware (.mem) file (with --job: checked against the job's)")
      ->type_name("FILE");
  p->add_option("CONFIG", words.config, "The configuration (.ini) file")->type_name("FILE");
  p->add_option("--job", words.job, "NAME or NAME@VERSION: program the released job's files")->type_name("JOB");
  p->add_option("--jobs", words.jobs, "Boards at once, 1 to 1024 (default: all)")
      ->type_name("N")
      ->check(CLI::Range(1u, 1024u).description(""));
  p->add_option("--station", words.station, "The station's name in history (default: the host name)")
      ->type_name("NAME");
  p->add_flag("--no-eui", words.no_eui, "Write no EUI-64 (the pool is not used)");
  p->add_flag("--json", words.json, "One JSON object a line on standard output");
  CLI::Option* serials = p->add_option(
      "--serial", words.serials, "ADDRESS=SERIAL: the serial number of the board at ADDRESS (repeatable)");
  serials->type_name("ADDRESS=SERIAL");
  p->add_flag("--scan", words.scan, "Ask on the terminal for each board's serial number")->excludes(serials);
  p->add_option("--address", words.addresses, "Only the board at ADDRESS, BB:DD.F or BB-DD-F (repeatable)")
      ->check(AddressCheck())
      ->type_name("ADDRESS");
  p->add_option("--expect", words.expect, "Refuse the run, before any erase, unless N boards are chosen")
      ->type_name("N");
  p->add_option("--rework", words.rework,
                "ADDRESS, or all: program the board even when it carries a number already "
                "programmed or its serial is; it keeps its number when that is its serial's "
                "(repeatable)")
      ->type_name("ADDRESS");
  p->add_option("--serial-pattern", words.serial_pattern, "REGEX every serial must match (ECMAScript syntax, whole serial)")
      ->type_name("REGEX");
  p->add_option("--slots", words.slots, "FILE of \"ADDRESS = LABEL\" lines: --scan names each board by its slot")
      ->type_name("FILE");
  p->add_option("--board-timeout", words.board_timeout,
                "Seconds a board may take before its worker is ended, 1 to 86400 "
                "(default: from the ROM part, about 100 s)")
      ->type_name("SECONDS")
      ->check(CLI::Range(1u, 86400u).description(""));
  p->add_option("--low-water", words.low_water, "Warn below N free numbers (default: the pool's watermark)")
      ->check(LowWaterCheck())
      ->type_name("N");
  AddDatabaseOption(p, &words.db);
  parsed->commands.push_back({p, Command::kProvision});
}

/// report.
void AddReportCommand(CLI::App& app, Words& words, Parsed* parsed) {
  CLI::App* report = app.add_subcommand("report", "The line's yield, failures, pool and rework: one HTML page, or JSON");
  report->add_option("-o,--output", words.output, "The file to write (with --json, standard output without it)")
      ->type_name("FILE");
  report->add_flag("--json", words.json, "One JSON object of the same figures");
  report->add_option("--since", words.since, "Only attempts started at or after TIME (as history takes it)")
      ->type_name("TIME");
  report->add_option("--until", words.until, "Only attempts started at or before TIME (a date: to its end)")
      ->type_name("TIME");
  report->add_option("--station", words.station, "Only this station")->type_name("NAME");
  report->add_option("--job", words.job, "Only this job: NAME (any version) or NAME@VERSION")->type_name("JOB");
  AddDatabaseOption(report, &words.db);
  parsed->commands.push_back({report, Command::kReport});
}

/// Every subcommand.
void AddCommands(CLI::App& app, Words& words, Parsed* parsed) {
  AddRomCommands(app, words, parsed);
  CLI::App* pool = app.add_subcommand("pool", "The EUI-64s that provision hands out, one per board");
  pool->require_subcommand(1);
  AddPoolChanges(pool, words, parsed);
  AddPoolViews(pool, words, parsed);
  AddHistoryCommand(app, words, parsed);
  AddProvisionCommand(app, words, parsed);
  AddJobCommands(app, words, parsed);
  AddReportCommand(app, words, parsed);
  CLI::App* journal = app.add_subcommand(
      "journal", "The board records this station keeps that are not yet on their store");
  journal->add_flag("--json", words.json, "A JSON array");
  parsed->commands.push_back({journal, Command::kJournal});
}

/// Reads an address word into *address.  @return false, said, when it
/// is none.
bool TakeAddress(const std::string& word, PciAddress* address) {
  if (ParsePciAddress(word, address)) return true;
  VxromReasons().Reason(
      L"--address %ls: not an address: BB:DD.F or BB-DD-F in "
      L"hexadecimal (bus to FF, device to 1F, function to 7)",
      platform::WideFromUtf8(word).c_str());
  return false;
}

/// A --low-water or low-water count as typed; none for "none" or nothing.
std::optional<uint64_t> LowWater(const std::string& word) {
  if (word.empty() || word == "none") return std::nullopt;
  return std::stoull(word);
}

/// The words of pool's subcommands.
PoolOptions PoolWords(const Words& words) {
  PoolOptions pool;
  pool.first = words.first;
  pool.last = words.last;
  pool.file_path = platform::WideFromUtf8(words.file);
  pool.state = words.state;
  pool.csv = words.csv;
  pool.run_id = words.run_id;
  pool.station = words.station;
  pool.host = words.host;
  pool.force = words.force;
  pool.low_water = LowWater(words.low_water);
  return pool;
}

/// The words of history.  @return false after a mistake, said.
bool HistoryWords(const Words& words, const Parsed& parsed, HistoryOptions* history) {
  history->format = words.csv    ? HistoryFormat::kCsv
                    : words.json ? HistoryFormat::kJson
                                 : HistoryFormat::kText;
  history->eui = words.eui;
  history->has_eui = !words.eui.empty();
  history->serial = words.serial;
  history->has_serial = parsed.history->count("--serial") > 0;
  history->station = words.station;
  history->has_station = !words.station.empty();
  history->since = words.since;
  history->until = words.until;
  history->result = words.result;
  history->run_id = words.run_id;
  history->has_address = !words.address.empty();
  return !history->has_address || TakeAddress(words.address, &history->address);
}

/// The words of provision.  @return false after a mistake, said.
bool ProvisionWords(const Words& words, ProvisionOptions* p) {
  if (words.firmware.empty() && words.job.empty()) {
    VxromReasons().Reason(L"provision: FIRMWARE or --job JOB is required");
    return false;
  }
  p->firmware_path = platform::WideFromUtf8(words.firmware);
  p->config_path = platform::WideFromUtf8(words.config);
  p->job = words.job;
  p->station = words.station;
  p->jobs = words.jobs;
  p->board_timeout = words.board_timeout;
  p->no_eui = words.no_eui;
  p->scan = words.scan;
  p->rework = words.rework;
  p->serials = words.serials;
  for (const std::string& a : words.addresses) {
    p->addresses.push_back(kNoAddress);
    ParsePciAddress(a, &p->addresses.back());
  }
  p->expect = words.expect;
  p->serial_pattern = words.serial_pattern;
  p->slots_path = platform::WideFromUtf8(words.slots);
  p->low_water = LowWater(words.low_water);
  return true;
}

/// The words of job's subcommands.
JobOptions JobWords(const Words& words) {
  JobOptions job;
  job.name = words.name;
  job.firmware_path = platform::WideFromUtf8(words.firmware);
  job.config_path = platform::WideFromUtf8(words.config);
  job.no_eui = words.no_eui;
  job.note = words.note;
  return job;
}

/// The words of report.
ReportOptions ReportWords(const Words& words) {
  ReportOptions report;
  report.output_path = platform::WideFromUtf8(words.output);
  report.since = words.since;
  report.until = words.until;
  report.has_station = !words.station.empty();
  report.station = words.station;
  report.job = words.job;
  return report;
}

/// The words of list, info and restore.  @return false after a mistake,
/// said.
bool RomWords(const Words& words, const Parsed& parsed, RomOptions* rom) {
  rom->image_path = platform::WideFromUtf8(words.image);
  if (!parsed.restore->parsed()) return true;
  rom->check_revision = !words.no_revision_check;
  rom->clone_eui = words.clone_eui;
  rom->has_log = parsed.restore->count("--log") > 0;
  rom->log_path = platform::WideFromUtf8(words.log);
  rom->has_address = parsed.restore->count("--address") > 0;
  if (rom->has_address && !TakeAddress(words.address, &rom->address)) return false;
  if (!RomTypeRow(words.srom, &rom->rom_type_selector)) {
    VxromReasons().Reason(L"--srom %u: the ROM types are %ls", words.srom, kRomTypes);
    return false;
  }
  return true;
}

/// The words into the options of the command they chose.  @return false
/// after a mistake, said.
bool Translate(const Words& words, const Parsed& parsed, VxromOptions* options) {
  for (const auto& [command, name] : parsed.commands)
    if (command->parsed()) options->command = name;
  options->common = {words.json, words.quiet, words.progress, words.db};
  switch (options->command) {
    case Command::kList:
    case Command::kRestore:
    case Command::kInfo:
      return RomWords(words, parsed, &options->rom);
    case Command::kPoolAdd:
    case Command::kPoolImport:
    case Command::kPoolRetire:
    case Command::kPoolLowWater:
    case Command::kPoolStatus:
    case Command::kPoolList:
    case Command::kPoolLog:
    case Command::kPoolRelease:
      options->pool = PoolWords(words);
      return true;
    case Command::kHistory:
      return HistoryWords(words, parsed, &options->history);
    case Command::kProvision:
      return ProvisionWords(words, &options->provision);
    case Command::kJobRelease:
    case Command::kJobList:
    case Command::kJobShow:
    case Command::kJobRetire:
      options->job = JobWords(words);
      return true;
    case Command::kReport:
      options->report = ReportWords(words);
      return true;
    case Command::kHistoryVerify:
    case Command::kJournal:
      return true;
  }
  return true;
}

/// False, said, when the first word names no command: CLI11 alone would
/// only say that a command is required.
bool KnownCommand(CLI::App& app, const std::vector<std::wstring>& args) {
  if (args.size() < 2) return true;
  const std::string first = platform::Utf8FromWide(args[1]);
  std::string names;
  bool known = first.empty() || first[0] == '-';
  for (const CLI::App* command : app.get_subcommands([](CLI::App* c) { return !c->get_group().empty(); })) {
    names += (names.empty() ? "" : ", ") + command->get_name();
    known = known || command->get_name() == first;
  }
  if (!known)
    VxromReasons().Reason(L"\"%ls\" is no vxrom command; the commands are %ls", args[1].c_str(),
                          platform::WideFromUtf8(names).c_str());
  return known;
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
      "their history (pool, provision, history, job, report, journal); lists VX5130 and VX5130A "
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

  Parsed parsed;
  AddCommands(app, words, &parsed);
  if (!KnownCommand(app, args)) {
    *exit_code = kExitCommandLine;
    return false;
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
    *exit_code = kExitCommandLine;
    return false;
  }

  if (!Translate(words, parsed, options)) {
    *exit_code = kExitCommandLine;
    return false;
  }
  return true;
}
