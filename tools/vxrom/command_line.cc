#include "vxrom/command_line.h"

#include <CLI/CLI.hpp>

#include "platform/text.h"
#include "vxrom/text.h"

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
};

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
      "vxrom: lists VX5130 and VX5130A controllers and their serial ROMs, "
      "restores a ROM from a dumped image, tells what an image file is.",
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

  CLI::App* restore = app.add_subcommand(
      "restore", "Writes a raw image (as vxsrom /dump made it) back to a ROM");
  restore->add_option("IMAGE", words.image, "The image file")->required();
  restore->add_option("--address", words.address,
                      "The controller, BB:DD.F or BB-DD-F (hexadecimal); "
                      "needed when there are several");
  restore->add_option("--srom", words.srom,
                      "ROM type: " + platform::Utf8FromWide(kRomTypes));
  restore->add_flag("--no-revision-check", words.no_revision_check,
                    "Write an image made for another chip revision");
  restore->add_flag("--clone-eui", words.clone_eui,
                    "Write the image's EUI-64 even when another controller "
                    "holds it or the board holds another (two boards then "
                    "share one)");
  restore->add_option("--log", words.log,
                      "Append the run's record to this run log");

  CLI::App* info = app.add_subcommand(
      "info", "What the controller library says of an image file");
  info->add_option("IMAGE", words.image, "The image file")->required();
  info->add_flag("--json", words.json, "One JSON document on standard output");

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
