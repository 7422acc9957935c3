#include "vxsrom/command_line.h"

#include <wchar.h>

#include "device/exit_codes.h"
#include "device/rom_types.h"
#include "words/voice.h"

using namespace device;

namespace {

/// One keyword of the option table.
struct OptionSpec {
  const wchar_t* keyword;
  uint32_t bit;
  uint32_t conflicts;  ///< Rejected if any of these is already set.
  bool takes_words;
  bool complete_at_once;  ///< No required word follows.
  bool takes_path;        ///< Its words are paths (may start with "/").
};

/// Marks the help options, whose conflict mask is "anything, unless last".
const uint32_t kUnlessLast = 0xFFFFFFFF;

const OptionSpec kOptions[] = {
    {L"/write", OPT_WRITE, kWriteConflicts, true, false, true},
    {L"/writeall", OPT_WRITEALL, kWriteConflicts, true, false, true},
    {L"/log", OPT_LOG, 0, true, true, true},
    {L"/address", OPT_ADDRESS, kAddressConflicts, true, false, false},
    {L"/erase", OPT_ERASE, kEraseConflicts, false, true, false},
    {L"/noerase", OPT_NOERASE, kEraseConflicts, false, true, false},
    {L"/imagegen", OPT_IMAGEGEN, kReadActionConflicts, true, false, true},
    {L"/dump", OPT_DUMP, kReadActionConflicts, true, false, true},
    {L"/verify", OPT_VERIFY, kReadActionConflicts, true, false, true},
    {L"/srom", OPT_SROM, OPT_SROMINFO, true, false, false},
    {L"/srominfo", OPT_SROMINFO, OPT_SROM, true, false, false},
    {L"/fout", OPT_FOUT, kFoutConflicts, true, false, true},
    {L"/norev", OPT_NOREV, 0, false, true, false},
    {L"/?", OPT_HELP, kUnlessLast, false, true, false},
    {L"/???", OPT_HELP_EXT, kUnlessLast, false, true, false},
};

/// Compares folding only the ASCII letters A to Z.
bool EqualsFolded(const std::wstring& a, const wchar_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= L'A' && x <= L'Z') x = x - L'A' + L'a';
    if (y >= L'A' && y <= L'Z') y = y - L'A' + L'a';
    if (x != y) return false;
  }
  return i == a.size() && !b[i];
}

const OptionSpec* FindOption(const std::wstring& arg) {
  for (const OptionSpec& option : kOptions) {
    if (EqualsFolded(arg, option.keyword)) return &option;
  }
  return nullptr;
}

/// Converts all of text as wcstoul does with base; false when nothing or
/// not everything was converted.
bool ConvertWhole(const wchar_t* text, int base, unsigned long* value) {
  wchar_t* end = nullptr;
  *value = wcstoul(text, &end, base);
  return end != text && *end == L'\0';
}

/// Refuses arg: the message of the command language, and why in words.
ExitCode Reject(const std::wstring& arg, const wchar_t* why) {
  VxsromConsole().Print(L"Parameter error = \"%ls\"\n", arg.c_str());
  VxsromConsole().Reason(L"\"%ls\": %ls", arg.c_str(), why);
  return kExitCommandLine;
}

ExitCode TooLong(const std::wstring& arg) {
  VxsromConsole().Print(L"Parameter too long = \"%ls\"\n", arg.c_str());
  VxsromConsole().Reason(L"a path of more than %u characters",
                         static_cast<unsigned>(kMaxPathLength));
  return kExitCommandLine;
}

const wchar_t kTooManyWords[] = L"one word too many for the option before it";

/// Reads "bus-device-function" in hexadecimal into *address.
bool ParseAddress(const std::wstring& word, uint16_t* address) {
  if (word.size() > 8) return false;
  wchar_t buffer[9] = {};
  word.copy(buffer, word.size());
  const wchar_t* rest = buffer;
  unsigned long value;
  const unsigned long kLimits[2] = {256, 32};
  const int kShifts[2] = {8, 3};
  *address = 0;
  for (int field = 0; field < 2; ++field) {
    while (*rest == L'-') ++rest;
    const wchar_t* dash = wcschr(rest, L'-');
    std::wstring text(rest, dash ? static_cast<size_t>(dash - rest) : wcslen(rest));
    if (text.empty() || !dash) return false;
    if (!ConvertWhole(text.c_str(), 16, &value) || value >= kLimits[field])
      return false;
    *address |= static_cast<uint16_t>(value << kShifts[field]);
    rest = dash + 1;
  }
  if (!*rest || !ConvertWhole(rest, 16, &value) || value >= 8) return false;
  *address |= static_cast<uint16_t>(value);
  return true;
}

/// The rule of /address that word breaks, in words.
std::wstring AddressRuleBroken(const std::wstring& word) {
  if (word.find_first_of(L":.") != std::wstring::npos)
    return L"/address takes dashes, not BB:DD.F";
  std::vector<std::wstring> fields(1);
  for (wchar_t c : word) {
    if (c == L'-') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  if (fields.size() != 3) return L"three fields are needed";
  const unsigned long kLimits[3] = {0xFF, 0x1F, 7};
  const wchar_t* const kNames[3] = {L"the bus is 00 to FF",
                                    L"the device is 00 to 1F",
                                    L"the function is 0 to 7"};
  for (int i = 0; i < 3; ++i) {
    unsigned long value;
    if (fields[static_cast<size_t>(i)].empty() ||
        !ConvertWhole(fields[static_cast<size_t>(i)].c_str(), 16, &value))
      return L"each field is a hexadecimal number";
    if (value > kLimits[i]) return kNames[i];
  }
  return L"at most 8 characters";
}

/// Parsing state of one command line.
struct Parser {
  CommandLine* options;
  RomTypeTable* table;
  const OptionSpec* pending = nullptr;
  unsigned count = 0;
  bool complete = true;

  /// The count-th word of an option of path slots; the option is complete
  /// from word complete_at on.
  ExitCode PathWord(const std::wstring& word,
                    const std::vector<std::wstring*>& slots,
                    unsigned complete_at) {
    if (count >= slots.size()) return Reject(word, kTooManyWords);
    if (word.size() > kMaxPathLength) return TooLong(word);
    *slots[count] = word;
    if (count == complete_at) complete = true;
    return kExitOk;
  }

  /// The word of /address.
  ExitCode AddressWord(const std::wstring& word) {
    if (count >= 1) return Reject(word, kTooManyWords);
    if (!ParseAddress(word, &options->target_address)) {
      const std::wstring why = L"not an address for /address (" +
                               AddressRuleBroken(word) +
                               L"): bus-device-function in hexadecimal, "
                               L"e.g. 04-00-0";
      return Reject(word, why.c_str());
    }
    complete = true;
    return kExitOk;
  }

  /// The word of /srom.
  ExitCode SromWord(const std::wstring& word) {
    if (count >= 1) return Reject(word, kTooManyWords);
    if (word == L"?") {
      options->rom_type_selector = kRomTypeQuery;
    } else {
      unsigned long value;
      if (!ConvertWhole(word.c_str(), 0, &value))
        return Reject(word, L"not a ROM type for /srom: 0 to 4, 255 or ?");
      if (value <= 4) {
        options->rom_type_selector = static_cast<uint32_t>(value);
      } else if (value == 255) {
        options->rom_type_selector = kRomType255;
      } else {
        VxsromConsole().Print(L"Unknown Serial ROM Type = \"%ls\"\n", word.c_str());
        VxsromConsole().Reason(L"/srom %ls: the ROM types are 0 to 4 and 255",
                               word.c_str());
        return kExitCommandLine;
      }
    }
    complete = true;
    return kExitOk;
  }

  /// The count-th word of /srominfo: size, page size, device code.
  ExitCode SromInfoWord(const std::wstring& word) {
    unsigned long value;
    const wchar_t* kNotSromInfo =
        L"/srominfo takes a size up to 0x8000, a page size no larger "
        L"than the size and a device code up to 0xFFFF";
    if (count >= 3) return Reject(word, kTooManyWords);
    if (!ConvertWhole(word.c_str(), 0, &value))
      return Reject(word, kNotSromInfo);
    RomGeometry& custom = table->rows[kRomTypeCustom];
    if (count == 0) {
      if (value > 0x8000) return Reject(word, kNotSromInfo);
      custom.mem_size = value == 0 ? 0x8000 : static_cast<uint32_t>(value);
    } else if (count == 1) {
      if (value != 0 && (value > 0xffff || value > custom.mem_size))
        return Reject(word, kNotSromInfo);
      custom.page_size = value == 0 ? 0x80 : static_cast<uint16_t>(value);
    } else {
      if (value > 0xffff) return Reject(word, kNotSromInfo);
      custom.dev_code = static_cast<uint16_t>(value);
      options->rom_type_selector = kRomTypeCustom;
      complete = true;
    }
    return kExitOk;
  }

  /// Handles one word of the pending option; kExitOk or kExitCommandLine.
  ExitCode Word(const std::wstring& word) {
    const uint32_t bit = pending->bit;
    // /log's path is optional: the option is complete without it.
    const unsigned kNever = 4;
    ExitCode result = kExitOk;
    if (bit == OPT_WRITE || bit == OPT_WRITEALL || bit == OPT_VERIFY) {
      result = PathWord(word,
                        {&options->firmware_path, &options->config_path,
                         &options->eui64_path},
                        0);
    } else if (bit == OPT_IMAGEGEN) {
      result = PathWord(word,
                        {&options->image_path, &options->firmware_path,
                         &options->config_path, &options->eui64_path},
                        2);
    } else if (bit == OPT_DUMP || bit == OPT_FOUT) {
      result = PathWord(word, {&options->image_path}, 0);
    } else if (bit == OPT_LOG) {
      result = PathWord(word, {&options->log_path}, kNever);
    } else if (bit == OPT_ADDRESS) {
      result = AddressWord(word);
    } else if (bit == OPT_SROM) {
      result = SromWord(word);
    } else if (bit == OPT_SROMINFO) {
      result = SromInfoWord(word);
    }
    if (result == kExitOk) ++count;
    return result;
  }

  /// Handles one option keyword; kExitOk or kExitCommandLine.
  ExitCode Option(const std::wstring& arg, bool last) {
    if (!complete)
      return Reject(arg, L"the option before it lacks its words");
    complete = false;
    pending = nullptr;
    count = 0;
    const OptionSpec* option = FindOption(arg);
    if (!option) return Reject(arg, L"no such option (/? lists them)");
    uint32_t conflicts = option->conflicts;
    if (conflicts == kUnlessLast && last) conflicts = 0;
    if (options->flags & conflicts)
      return Reject(arg, conflicts == kUnlessLast
                             ? L"the help options stand alone"
                             : L"does not go with an option before it");
    options->flags |= option->bit;
    if (option->bit == OPT_LOG) options->log_path = L"log.txt";
    if (option->takes_words) pending = option;
    if (option->complete_at_once) complete = true;
    return kExitOk;
  }

  /// The checks of the whole combination; kExitOk or kExitCommandLine.
  ExitCode Final() {
    uint32_t flags = options->flags;
    if (!(flags & kLowOptionBits)) {
      options->flags |= OPT_LIST;
      return kExitOk;
    }
    const wchar_t* message = nullptr;
    const wchar_t* why = nullptr;
    if (!(flags & kActionOrHelp)) {
      message = L"Command action not found!\n";
      why =
          L"no action: give /write, /erase, /dump, /verify, /imagegen or "
          L"/writeall";
    } else if ((flags & OPT_NOERASE) && !(flags & kWriteActionMask)) {
      message = L"Parameter error = \"/noerase\"\n";
      why = L"/noerase goes only with /write or /writeall";
    } else if (options->rom_type_selector == kRomTypeQuery) {
      message = L"Parameter error = \"/srom ?\"\n";
      why = L"/srom ? only lists the ROM types; it takes no action";
    } else if ((flags & kNeedsRomType) && !(flags & (OPT_SROM | OPT_SROMINFO))) {
      message = L"Please specify \"/srom\" option.\n";
      why =
          L"this action needs the ROM type: /srom or /srominfo (/srom 0 "
          L"detects the part)";
    } else if ((flags & OPT_FOUT) && (flags & kFoutConflicts)) {
      message = L"Parameter error = \"/fout\"\n";
      why = L"/fout goes only with /write";
    } else if ((flags & OPT_ADDRESS) && (flags & kAddressConflicts)) {
      message = L"Parameter error = \"/address\"\n";
      why = L"/address does not go with /writeall or the listing";
    }
    if (!message) return kExitOk;
    VxsromConsole().Print(message);
    VxsromConsole().Reason(L"%ls", why);
    return kExitCommandLine;
  }
};

}  // namespace

ExitCode ParseCommandLine(const std::vector<std::wstring>& args,
                          CommandLine* options, RomTypeTable* table,
                          bool slash_starts_paths) {
  *options = CommandLine();
  Parser parser{options, table};
  for (size_t i = 1; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    bool is_option = !arg.empty() && arg[0] == L'/';
    // Where absolute paths start with "/", a path word that is no keyword
    // is still a word.
    if (is_option && slash_starts_paths && parser.pending &&
        parser.pending->takes_path && !FindOption(arg)) {
      is_option = false;
    }
    ExitCode result;
    if (is_option) {
      result = parser.Option(arg, i + 1 == args.size());
    } else if (!parser.pending) {
      result = Reject(arg, L"a word where an option was expected");
    } else {
      result = parser.Word(arg);
    }
    if (result != kExitOk) return result;
  }
  if (!parser.complete)
    return Reject(args.back(), L"the last option lacks its words");
  return parser.Final();
}
