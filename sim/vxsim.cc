// vxsim: the simulator's command-line tool.  It writes machine
// descriptions, shows what each simulated ROM holds, makes sample input
// files and puts images into ROMs, as a factory programmer would.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/output_file.h"
#include "platform/text.h"
#include "sim/demo.h"
#include "sim/formats.h"
#include "sim/image.h"
#include "sim/long_operation.h"
#include "sim/machine.h"
#include "sim/parts.h"
#include "sim/recording.h"
#include "sim/rom_chip.h"
#include "sim/status.h"

#ifndef VXSROM_VERSION
#error "VXSROM_VERSION comes from the build (cmake/version.cmake)"
#endif

namespace sim {
namespace {

const char kUsage[] =
    "usage: vxsim COMMAND ...\n"
    "  create MACHINE [--speed F] [--trace FILE]    write a new machine description\n"
    "  add MACHINE BB:DD.F [--revision N] [--part NAME] [--rom FILE]\n"
    "                                               add a controller (blank ROM)\n"
    "  show MACHINE                                 decode every controller's ROM\n"
    "  program MACHINE BB:DD.F FW.mem [CFG.ini] [X.eui]\n"
    "                                               put a valid image into a ROM\n"
    "  poke MACHINE BB:DD.F OFFSET BYTE...          overwrite ROM bytes\n"
    "  make-mem OUT [--revision 3|4] [--version V] [--code-size N]\n"
    "  make-ini OUT [--ssvid ID] [--ssid ID] [--port-disable MASK] [--overcurrent 0|1]\n"
    "  make-eui OUT XX-XX-XX-XX-XX-XX-XX-XX\n"
    "  hold MACHINE BB:DD.F SECONDS|--until FILE     keep a controller open (lock test)\n"
    "  fault MACHINE BB:DD.F OPERATION STATUS [call N|once]\n"
    "  fault MACHINE BB:DD.F poll-fault erase|write|read STATUS at N[%]\n"
    "  fault MACHINE BB:DD.F stuck OFFSET VALUE\n"
    "  fault MACHINE BB:DD.F pause erase|write|read until FILE\n"
    "                                               add a fault to a controller\n"
    "  fault MACHINE BB:DD.F clear                  remove the controller's faults\n"
    "  remove MACHINE BB:DD.F                       take a controller out (its ROM file stays)\n"
    "  (an address is BB:DD.F or BB-DD-F)\n"
    "  parts                                        list the ROM parts\n"
    "  timings                                      32 KiB erase/write/read times\n"
    "  replay-check RECORDING                       summary of a recorded run\n"
    "  --help                                       this text\n"
    "  --version                                    the release of this tool and library\n";

int Usage() {
  fputs(kUsage, stderr);
  return 2;
}

// Asked for, the usage is the output (a pager or a grep reads it), not an
// error.
int Help() {
  fputs(kUsage, stdout);
  return 0;
}

int Version() {
  printf("vxsim %s (vxctl stand-in: simulated controllers, not the maker's library)\n",
         VXSROM_VERSION);
  return 0;
}

int Fail(const std::string& message) {
  fprintf(stderr, "vxsim: %s\n", message.c_str());
  return 1;
}

bool WriteText(const std::string& path, const std::string& text) {
  return platform::ReplaceFileAtomically(path, text.data(), text.size());
}

bool ReadText(const std::string& path, std::string* text) {
  std::vector<uint8_t> data;
  const size_t limit = 1 << 20;
  if (!platform::ReadInputFile(path, limit + 1, &data, nullptr) || data.size() > limit) return false;
  text->assign(data.begin(), data.end());
  return true;
}

bool LoadMachine(const std::string& path, Machine* machine, std::string* text, std::string* error) {
  if (!ReadText(path, text)) {
    *error = path + ": cannot be read";
    return false;
  }
  if (!ParseMachine(*text, platform::DirectoryOf(path), machine, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

// Options "--name value" after the positional words.
bool Options(const std::vector<std::string>& args, size_t from,
             const std::vector<std::string>& names, std::vector<std::string>* values) {
  values->assign(names.size(), "");
  for (size_t i = from; i < args.size(); i += 2) {
    size_t k = 0;
    while (k < names.size() && args[i] != "--" + names[k]) ++k;
    if (k == names.size() || i + 1 >= args.size()) return false;
    (*values)[k] = args[i + 1];
  }
  return true;
}

bool Number(const std::string& text, unsigned long max, unsigned long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  unsigned long v = strtoul(text.c_str(), &end, 0);
  if (*end != '\0' || v > max) return false;
  *value = v;
  return true;
}

const ControllerSpec* FindController(const Machine& machine, const std::string& text) {
  PciAddress address;
  if (!ParsePciAddress(text, &address)) return nullptr;
  for (const ControllerSpec& c : machine.controllers) {
    if (c.address == address) return &c;
  }
  return nullptr;
}

bool LoadRom(const ControllerSpec& c, std::vector<uint8_t>* rom) {
  if (!platform::PathExists(c.rom_path)) {
    rom->assign(c.part->size, 0xFF);
    return true;
  }
  return platform::ReadInputFile(c.rom_path, c.part->size + 1, rom, nullptr) &&
         rom->size() == c.part->size;
}

int Create(const std::vector<std::string>& args) {
  std::vector<std::string> v;
  if (args.size() < 2 || !Options(args, 2, {"speed", "trace"}, &v)) return Usage();
  if (platform::PathExists(args[1])) return Fail(args[1] + " exists already");
  std::string text =
      "# Simulated machine for the vxctl stand-in library (the simulator's\n"
      "# document \"simulator\" describes it).\n"
      "# Controllers are enumerated in the order of their lines.\n";
  text += "speed " + (v[0].empty() ? std::string("1") : v[0]) + "\n";
  if (!v[1].empty()) text += "trace " + v[1] + "\n";
  Machine check;
  std::string error;
  if (!ParseMachine(text, platform::DirectoryOf(args[1]), &check, &error)) return Fail(error);
  if (!WriteText(args[1], text)) return Fail(args[1] + ": cannot be written");
  return 0;
}

int Add(const std::vector<std::string>& args) {
  std::vector<std::string> v;
  if (args.size() < 3 || !Options(args, 3, {"revision", "part", "rom"}, &v)) return Usage();
  PciAddress address;
  if (!ParsePciAddress(args[2], &address)) {
    return Fail("bad PCI address " + args[2] + " (" + kAddressForms + ")");
  }
  std::string rom = v[2];
  if (rom.empty()) {
    std::string a = FormatPciAddress(address);
    for (char& c : a) {
      if (c == ':' || c == '.') c = '-';
    }
    rom = "rom-" + a + ".bin";
  }
  std::string line = "controller " + FormatPciAddress(address) + " revision " +
                     (v[0].empty() ? "4" : v[0]) + " part " +
                     (v[1].empty() ? "MX25L4005A" : v[1]) + " rom " + rom + "\n";
  std::string text, error;
  Machine machine;
  if (!LoadMachine(args[1], &machine, &text, &error)) return Fail(error);
  if (!text.empty() && text.back() != '\n') text += "\n";
  text += line;
  if (!ParseMachine(text, platform::DirectoryOf(args[1]), &machine, &error)) return Fail(error);
  const ControllerSpec& c = machine.controllers.back();
  if (!platform::PathExists(c.rom_path)) {
    RomChip chip(*c.part, std::vector<uint8_t>(c.part->size, 0xFF), c.stuck);
    if (!platform::ReplaceFileAtomically(c.rom_path, chip.bytes().data(), chip.bytes().size())) return Fail(c.rom_path + ": cannot be written");
  }
  if (!WriteText(args[1], text)) return Fail(args[1] + ": cannot be written");
  return 0;
}

void ShowRom(const std::vector<uint8_t>& rom, uint32_t size) {
  ImageContents c;
  LibraryStatus status = ParseImage(rom.data(), size, &c);
  if (status == kBlank) {
    printf("  blank\n");
  } else if (status == kChecksum) {
    printf("  image damaged: checksum mismatch\n");
  } else if (status != kOk) {
    bool zero = true;
    for (uint32_t i = 0; i < size && zero; ++i) zero = rom[i] == 0;
    printf(zero ? "  blank (all 0x00)\n" : "  no image (unknown contents)\n");
  } else {
    printf("  firmware revision %u, version %s, %u bytes of code\n", c.firmware.revision,
           FormatVersion(c.firmware.version).c_str(), static_cast<unsigned>(c.firmware.code.size()));
    if (c.has_config) {
      printf("  subsystem vendor ID 0x%04X, subsystem ID 0x%04X\n", c.config.subsystem_vendor_id,
             c.config.subsystem_id);
    } else {
      printf("  no configuration\n");
    }
    if (c.has_eui64) printf("  EUI-64 %s", EncodeEui64(c.eui64).c_str());
    if (c.page_size || c.dev_code) {
      printf("  laid out for page size 0x%X, device code 0x%04X\n", c.page_size, c.dev_code);
    }
    printf("  checksums correct\n");
  }
}

int Show(const std::vector<std::string>& args) {
  if (args.size() != 2) return Usage();
  Machine machine;
  std::string text, error;
  if (!LoadMachine(args[1], &machine, &text, &error)) return Fail(error);
  int result = 0;
  for (const ControllerSpec& c : machine.controllers) {
    const char* model = c.revision == 3 ? " (VX5130)" : c.revision == 4 ? " (VX5130A)"
                                                                        : "";
    printf("%s revision %u%s part %s\n", FormatPciAddress(c.address).c_str(), c.revision, model,
           c.part->name);
    std::vector<uint8_t> rom;
    if (!LoadRom(c, &rom)) {
      printf("  ROM file unreadable or of the wrong size\n");
      result = 1;
      continue;
    }
    ShowRom(rom, std::min(c.part->size, kMaxImageSize));
  }
  return result;
}

int Program(const std::vector<std::string>& args) {
  if (args.size() < 4 || args.size() > 6) return Usage();
  Machine machine;
  std::string text, error;
  if (!LoadMachine(args[1], &machine, &text, &error)) return Fail(error);
  const ControllerSpec* c = FindController(machine, args[2]);
  if (!c) return Fail("no controller " + args[2] + " in " + args[1]);
  Firmware fw;
  LibraryStatus status = LoadFirmware(args[3], &fw);
  if (status != kOk) return Fail(args[3] + ": bad firmware file (" + std::to_string(status) + ")");
  Config cfg;
  Eui64 eui;
  bool has_config = false, has_eui = false;
  for (size_t i = 4; i < args.size(); ++i) {
    const std::string& path = args[i];
    bool is_eui = path.size() > 4 && path.compare(path.size() - 4, 4, ".eui") == 0;
    if (is_eui) {
      status = LoadEui64(path, &eui);
      has_eui = true;
    } else {
      status = LoadConfig(path, &cfg, &error);
      has_config = true;
    }
    if (status != kOk) return Fail(path + ": invalid (" + std::to_string(status) + ") " + error);
  }
  const RomGeometry& g = c->part->reported;
  std::vector<uint8_t> image;
  status = BuildImage(fw, has_config ? &cfg : nullptr, has_eui ? &eui : nullptr, &g,
                      ImageSizeFor(&g), &image);
  if (status != kOk) return Fail("firmware does not fit the ROM (" + std::to_string(status) + ")");
  platform::ProcessLock lock;
  if (lock.TryAcquire(c->rom_path + ".lock") != 0) return Fail(args[2] + " is open in another process");
  std::vector<uint8_t> rom;
  if (!LoadRom(*c, &rom)) return Fail(c->rom_path + ": unreadable or of the wrong size");
  std::copy(image.begin(), image.end(), rom.begin());
  RomChip chip(*c->part, rom, c->stuck);
  if (!platform::ReplaceFileAtomically(c->rom_path, chip.bytes().data(), chip.bytes().size())) return Fail(c->rom_path + ": cannot be written");
  return 0;
}

int Poke(const std::vector<std::string>& args) {
  if (args.size() < 5) return Usage();
  Machine machine;
  std::string text, error;
  if (!LoadMachine(args[1], &machine, &text, &error)) return Fail(error);
  const ControllerSpec* c = FindController(machine, args[2]);
  if (!c) return Fail("no controller " + args[2] + " in " + args[1]);
  unsigned long offset;
  if (!Number(args[3], c->part->size - 1, &offset)) return Fail("offset outside the ROM");
  platform::ProcessLock lock;
  if (lock.TryAcquire(c->rom_path + ".lock") != 0) return Fail(args[2] + " is open in another process");
  std::vector<uint8_t> rom;
  if (!LoadRom(*c, &rom)) return Fail(c->rom_path + ": unreadable or of the wrong size");
  for (size_t i = 4; i < args.size(); ++i) {
    unsigned long value;
    if (!Number(args[i], 255, &value)) return Fail("bad byte " + args[i]);
    rom[(offset + i - 4) % rom.size()] = static_cast<uint8_t>(value);
  }
  RomChip chip(*c->part, rom, c->stuck);
  if (!platform::ReplaceFileAtomically(c->rom_path, chip.bytes().data(), chip.bytes().size())) return Fail(c->rom_path + ": cannot be written");
  return 0;
}

/// The keyword of a description line; empty for a blank or comment line.
std::string Keyword(const std::string& line) {
  std::istringstream words(line.substr(0, line.find('#')));
  std::string keyword;
  words >> keyword;
  return keyword;
}

/// True for the statements that make a controller fail.
bool IsFaultStatement(const std::string& keyword) {
  return keyword == "fault" || keyword == "poll-fault" || keyword == "stuck" ||
         keyword == "pause";
}

/// The lines of a description.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

/// A controller's block of lines: its `controller` line at *first and the
/// statements up to the next one, before *end.  False when absent.
bool FindBlock(const std::vector<std::string>& lines, PciAddress address, size_t* first,
               size_t* end) {
  *first = *end = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    std::istringstream words(lines[i]);
    std::string keyword, word;
    PciAddress a;
    if (!(words >> keyword) || keyword != "controller") continue;
    if (*first < lines.size()) {
      *end = i;
      break;
    }
    if (words >> word && ParsePciAddress(word, &a) && a == address) *first = i;
  }
  return *first < lines.size();
}

/// Checks the edited description and writes it in place of the old one.
int WriteEdited(const std::string& path, const std::vector<std::string>& lines) {
  std::string edited, error;
  for (const std::string& line : lines) edited += line + "\n";
  Machine machine;
  if (!ParseMachine(edited, platform::DirectoryOf(path), &machine, &error)) return Fail(error);
  if (!WriteText(path, edited)) return Fail(path + ": cannot be written");
  return 0;
}

/// Loads the description of args[1] and finds the block of controller
/// args[2] in its lines; 0, or the exit status of the failure.
int LoadBlock(const std::vector<std::string>& args, Machine* machine,
              std::vector<std::string>* lines, size_t* first, size_t* end) {
  std::string text, error;
  if (!LoadMachine(args[1], machine, &text, &error)) return Fail(error);
  PciAddress address;
  if (!ParsePciAddress(args[2], &address)) {
    return Fail("bad PCI address " + args[2] + " (" + kAddressForms + ")");
  }
  *lines = Lines(text);
  if (!FindBlock(*lines, address, first, end)) {
    return Fail("no controller " + args[2] + " in " + args[1]);
  }
  return 0;
}

// fault MACHINE ADDRESS STATEMENT... | clear: edits the controller's
// faults in the description, so nobody has to edit it by hand.
int Fault(const std::vector<std::string>& args) {
  if (args.size() < 4) return Usage();
  Machine machine;
  std::vector<std::string> lines;
  size_t first, end;
  if (int status = LoadBlock(args, &machine, &lines, &first, &end)) return status;
  if (args.size() == 4 && args[3] == "clear") {
    for (size_t i = end; i-- > first + 1;) {
      if (IsFaultStatement(Keyword(lines[i]))) lines.erase(lines.begin() + static_cast<long>(i));
    }
  } else {
    std::string statement = "  ";
    if (!IsFaultStatement(args[3])) statement += "fault ";
    for (size_t i = 3; i < args.size(); ++i) statement += (i > 3 ? " " : "") + args[i];
    lines.insert(lines.begin() + static_cast<long>(end), statement);
  }
  return WriteEdited(args[1], lines);
}

// remove MACHINE ADDRESS: takes the controller and its faults out of the
// description, as a board pulled from the PC.  Its ROM file stays, so
// that `add` with the same address puts the same board back.
int Remove(const std::vector<std::string>& args) {
  if (args.size() != 3) return Usage();
  Machine machine;
  std::vector<std::string> lines;
  size_t first, end;
  if (int status = LoadBlock(args, &machine, &lines, &first, &end)) return status;
  const ControllerSpec* c = FindController(machine, args[2]);
  platform::ProcessLock lock;
  if (!c || lock.TryAcquire(c->rom_path + ".lock") != 0) {
    return Fail(args[2] + " is open in another process");
  }
  for (size_t i = end; i-- > first + 1;) {
    if (IsFaultStatement(Keyword(lines[i]))) lines.erase(lines.begin() + static_cast<long>(i));
  }
  lines.erase(lines.begin() + static_cast<long>(first));
  return WriteEdited(args[1], lines);
}

int Hold(const std::vector<std::string>& args) {
  // hold MACHINE BB:DD.F SECONDS, or --until FILE: held until FILE exists
  // (at most an hour), so a test releases it when it is done.
  const bool until = args.size() == 5 && args[3] == "--until";
  if (args.size() != 4 && !until) return Usage();
  Machine machine;
  std::string text, error;
  if (!LoadMachine(args[1], &machine, &text, &error)) return Fail(error);
  const ControllerSpec* c = FindController(machine, args[2]);
  unsigned long seconds = 3600;
  if (!c) return Fail("no controller " + args[2] + " in " + args[1]);
  if (!until && !Number(args[3], 3600, &seconds)) return Fail("seconds 0-3600");
  platform::ProcessLock lock;
  if (lock.TryAcquire(c->rom_path + ".lock") != 0) return Fail(args[2] + " is open in another process");
  printf("holding %s\n", args[2].c_str());
  fflush(stdout);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end && !(until && platform::PathExists(args[4])))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return 0;
}

// What a recording holds: its controllers, operations, failures and time,
// to judge a line's recording before replaying it.  Read as the replay
// reads it, so it refuses what the replay would refuse, for the same reason.
int ReplayCheck(const std::vector<std::string>& args) {
  if (args.size() != 2) return Usage();
  Recording recording;
  std::string error;
  if (!ReadRecording(args[1], &recording, &error)) return Fail(args[1] + ": " + error);
  std::set<std::string> controllers;
  std::map<std::string, int> operations;
  double total = 0, device = 0;
  std::vector<std::string> failures;
  for (size_t i = 0; i < recording.calls(); ++i) {
    const RecordedCall call = recording.Call(i);
    ++operations[call.operation];
    total += static_cast<double>(call.micros);
    if (call.operation.compare(0, 4, "Poll") == 0) device += static_cast<double>(call.micros);
    if (!call.args.empty() && call.args[0].size() == 7 && call.args[0][2] == ':')
      controllers.insert(call.args[0]);
    if (call.status < 0)
      failures.push_back("  call " + std::to_string(i + 1) + " " + call.Shown() + " = " +
                         std::to_string(call.status));
  }
  printf("%zu calls, %zu input files\n", recording.calls(), recording.files().size());
  printf("controllers:");
  for (const std::string& c : controllers) printf(" %s", c.c_str());
  printf("%s\n", controllers.empty() ? " none" : "");
  printf("operations:\n");
  for (const auto& op : operations) printf("  %-18s %d\n", op.first.c_str(), op.second);
  printf("failures: %zu\n", failures.size());
  for (const std::string& f : failures) printf("%s\n", f.c_str());
  printf("device time %.3f s (waits before the polls), total %.3f s\n",
         device / 1e6, total / 1e6);
  return 0;
}

int MakeMem(const std::vector<std::string>& args) {
  std::vector<std::string> v;
  if (args.size() < 2 || !Options(args, 2, {"revision", "version", "code-size"}, &v)) return Usage();
  unsigned long revision = 4, size = 4096;
  if (!v[0].empty() && (!Number(v[0], 4, &revision) || revision < 3)) return Fail("revision is 3 or 4");
  if (!v[2].empty() && (!Number(v[2], kMaxFirmwareCode, &size) || size == 0)) {
    return Fail("code size is 1 to " + std::to_string(kMaxFirmwareCode));
  }
  Firmware fw = SampleFirmware(static_cast<uint8_t>(revision), static_cast<uint32_t>(size));
  if (!v[1].empty() && !ParseVersion(v[1], fw.version)) return Fail("version looks like 2.0.2.6-1.B");
  const std::vector<uint8_t> encoded = EncodeFirmware(fw);
  if (!platform::ReplaceFileAtomically(args[1], encoded.data(), encoded.size())) return Fail(args[1] + ": cannot be written");
  return 0;
}

int MakeIni(const std::vector<std::string>& args) {
  std::vector<std::string> v;
  if (args.size() < 2 || !Options(args, 2, {"ssvid", "ssid", "port-disable", "overcurrent"}, &v)) {
    return Usage();
  }
  Config cfg;
  unsigned long n;
  cfg.subsystem_vendor_id = 0x1234;
  cfg.subsystem_id = 0x5678;
  if (!v[0].empty()) {
    if (!Number(v[0], 0xFFFF, &n)) return Fail("bad --ssvid");
    cfg.subsystem_vendor_id = static_cast<uint16_t>(n);
  }
  if (!v[1].empty()) {
    if (!Number(v[1], 0xFFFF, &n)) return Fail("bad --ssid");
    cfg.subsystem_id = static_cast<uint16_t>(n);
  }
  if (!v[2].empty()) {
    if (!Number(v[2], 0xF, &n)) return Fail("bad --port-disable");
    cfg.port_disable_mask = static_cast<uint8_t>(n);
  }
  if (!v[3].empty()) {
    if (!Number(v[3], 1, &n)) return Fail("bad --overcurrent");
    cfg.overcurrent_mode = static_cast<uint8_t>(n);
  }
  if (!WriteText(args[1], EncodeConfig(cfg))) return Fail(args[1] + ": cannot be written");
  return 0;
}

int MakeEui(const std::vector<std::string>& args) {
  if (args.size() != 3) return Usage();
  Eui64 eui;
  if (ParseEui64(args[2], &eui) != kOk) return Fail("EUI-64 looks like 00-11-22-FF-FE-33-44-55");
  if (!WriteText(args[1], EncodeEui64(eui))) return Fail(args[1] + ": cannot be written");
  return 0;
}

int ListParts() {
  size_t count;
  const Part* parts = Parts(&count);
  printf("%-12s %-8s %-8s %-6s %-24s %s\n", "PART", "SIZE", "PAGE", "ERASE", "GETSROMINFO", "NOTES");
  for (size_t i = 0; i < count; ++i) {
    const Part& p = parts[i];
    char reported[48];
    if (p.supported) {
      snprintf(reported, sizeof reported, "{0x%X, 0x%X, 0x%04X}", p.reported.mem_size,
               p.reported.page_size, p.reported.dev_code);
    } else {
      snprintf(reported, sizeof reported, "-55");
    }
    char erase[8] = "none";
    if (p.erase_opcode) snprintf(erase, sizeof erase, "0x%02X", p.erase_opcode);
    printf("%-12s 0x%-6X %-8u %-6s %-24s %s\n", p.name, p.size, p.page_size, erase, reported,
           p.description);
  }
  return 0;
}

int Timings() {
  size_t count;
  const Part* parts = Parts(&count);
  printf("%-12s %10s %10s %10s   (simulated seconds for 32 KiB, speed 1)\n", "PART", "ERASE", "WRITE", "READ");
  std::vector<uint8_t> image(kMaxImageSize, 0);
  for (size_t i = 0; i < count; ++i) {
    const Part& p = parts[i];
    double erase = LongOperation::Erase(p, static_cast<uint8_t>(p.reported.dev_code >> 8), kMaxImageSize).duration();
    double write = LongOperation::Write(p, image.data(), kMaxImageSize, p.reported.page_size).duration();
    double read = LongOperation::Read(p, 0, kMaxImageSize).duration();
    printf("%-12s %10.4f %10.4f %10.4f\n", p.name, erase, write, read);
  }
  return 0;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return Usage();
  const std::string& command = args[0];
  if (command == "create") return Create(args);
  if (command == "add") return Add(args);
  if (command == "show") return Show(args);
  if (command == "program") return Program(args);
  if (command == "poke") return Poke(args);
  if (command == "hold") return Hold(args);
  if (command == "fault") return Fault(args);
  if (command == "remove") return Remove(args);
  if (command == "replay-check") return ReplayCheck(args);
  if (command == "make-mem") return MakeMem(args);
  if (command == "make-ini") return MakeIni(args);
  if (command == "make-eui") return MakeEui(args);
  if (command == "parts" && args.size() == 1) return ListParts();
  if (command == "timings" && args.size() == 1) return Timings();
  if (command == "--help" && args.size() == 1) return Help();
  if (command == "--version" && args.size() == 1) return Version();
  return Usage();
}

}  // namespace
}  // namespace sim

namespace {

int RunGuarded(const std::vector<std::string>& args) {
  try {
    return sim::Run(args);
  } catch (...) {
    fprintf(stderr, "vxsim: out of memory\n");
    return 1;
  }
}

}  // namespace

#ifdef _WIN32
// The C runtime calls it under -municode; it declares no prototype.
extern "C" int wmain(int argc, wchar_t** argv);

// Windows hands the words as wide text: taken as UTF-8, the form every
// file name inside the simulator has, so a path in any script reaches it.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(platform::Utf8FromWide(argv[i]));
  return RunGuarded(args);
}
#else
int main(int argc, char** argv) {
  return RunGuarded(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
