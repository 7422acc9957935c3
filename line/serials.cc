#include "line/serials.h"

#include "platform/text.h"

namespace line {

namespace {

std::string Trimmed(const std::string& text) {
  const char* blanks = " \t\r\n\v\f";
  const size_t begin = text.find_first_not_of(blanks);
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

}  // namespace

bool MakeSerialRules(const std::string& pattern, SerialRules* rules, std::string* why) {
  rules->pattern_text = pattern;
  rules->pattern.reset();
  if (pattern.empty()) return true;
  try {
    rules->pattern = std::regex(pattern, std::regex::ECMAScript);
  } catch (const std::regex_error& e) {
    *why = "--serial-pattern \"" + pattern + "\" is no regular expression: " + e.what();
    return false;
  }
  return true;
}

bool CleanSerial(const std::string& raw, const SerialRules& rules, std::string* serial,
                 std::string* why) {
  if (!platform::IsUtf8(raw)) {
    *why = "that is not text (a stray byte from the scanner?)";
    return false;
  }
  *serial = Trimmed(raw);
  if (serial->empty()) {
    *why = "no serial was given";
    return false;
  }
  if (rules.pattern && !std::regex_match(*serial, *rules.pattern)) {
    *why = "\"" + *serial + "\" is not of the line's pattern " + rules.pattern_text;
    return false;
  }
  return true;
}

std::string SerialKey(const std::string& serial) {
  std::string key = serial;
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return key;
}

bool ParseSlots(const std::string& text, const std::string& name, SlotLabels* slots,
                std::string* why) {
  size_t line_number = 0;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trimmed(text.substr(at, end - at));
    at = end + 1;
    ++line_number;
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    PciAddress address = kNoAddress;
    const std::string label = equals == std::string::npos ? "" : Trimmed(line.substr(equals + 1));
    if (equals == std::string::npos || !ParsePciAddress(Trimmed(line.substr(0, equals)), &address) ||
        label.empty() || !platform::IsUtf8(label) || !slots->emplace(address, label).second) {
      *why = name + " line " + std::to_string(line_number) +
             ": not \"ADDRESS = LABEL\" (BB:DD.F or BB-DD-F, each address once)";
      return false;
    }
  }
  return true;
}

std::string BoardName(PciAddress address, const SlotLabels& slots) {
  const auto slot = slots.find(address);
  if (slot == slots.end()) return FormatPciAddress(address);
  return "slot " + slot->second + " (" + FormatPciAddress(address) + ")";
}

}  // namespace line
