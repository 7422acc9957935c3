// The lines of a recording taken apart and held to what the recorder
// writes: each operation's arguments and out values, their kinds, and
// buffers of exactly the size that their call names.
#include <string.h>

#include <algorithm>

#include "sim/machine.h"
#include "sim/recording.h"

namespace sim {
namespace {

/// A number as a message shows it.
std::string Number(uint64_t value) { return std::to_string(value); }

/// Decimal digits only, at most max; a leading '-' when negative is true.
bool ParseDecimal(const std::string& text, uint64_t max, bool negative,
                  int64_t* value) {
  size_t i = negative && !text.empty() && text[0] == '-' ? 1 : 0;
  if (i == text.size() || text.size() - i > 19) return false;
  uint64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  if (v > max) return false;
  *value = text[0] == '-' ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
  return true;
}

/// A decimal number of 32 bits.
bool ParseU32(const std::string& text, uint32_t* value) {
  int64_t v;
  if (!ParseDecimal(text, UINT32_MAX, false, &v)) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

/// The bytes a HexToken holds; false when it is none.
bool HexLength(const std::string& token, size_t* bytes) {
  if (token == ".") {
    *bytes = 0;
    return true;
  }
  if (token.empty() || token.size() % 2) return false;
  for (char c : token) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  *bytes = token.size() / 2;
  return true;
}

/// The words of a line, between blanks.
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t at = 0;
  while (at < line.size()) {
    size_t end = line.find(' ', at);
    if (end == std::string::npos) end = line.size();
    if (end > at) words.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

// What each operation's arguments and out values are, one letter a token:
//   a  a PCI address            n  a decimal number (an out value: or -)
//   p  p or -                   g  a geometry, 8 bytes, or -
//   f  a path in hex, or -      b  a buffer of the call's size (its second
//   i  32 bytes of information,    argument) in bytes, or -
//      or -                     r  the device records filled, or -
//   m  the image built for the geometry (its fourth argument), or -
struct Shape {
  const char* operation;
  const char* args;
  const char* outs;
};

const Shape kShapes[] = {
    {"InitializeLibrary", "", ""},
    {"TerminateLibrary", "", ""},
    {"EnumerateDevices", "nnpn", "nr"},
    {"OpenDevice", "ang", ""},
    {"CloseDevice", "a", ""},
    {"GetSromInfo", "a", "g"},
    {"GetDeviceInfo", "a", "i"},
    {"StartSromRead", "annnpn", ""},
    {"PollSromRead", "anp", "nb"},
    {"StartSromWrite", "anbn", ""},
    {"StartSromErase", "an", ""},
    {"PollSromProgress", "a", "n"},
    {"MakeSromImage", "fffg", "m"},
    {"GetSromImageInfo", "bn", "i"},
    {"PatchSromImage", "bnnnpgpn", "b"},
    {"UpdateSromImage", "fffg", "m"},
};

/// Whether token is of kind at all (sizes are checked afterwards).
bool OfKind(char kind, const std::string& token, bool out) {
  size_t bytes;
  uint32_t number;
  if (token == "-") return kind != 'a' && (kind != 'n' || out);
  switch (kind) {
    case 'a': {
      PciAddress address;
      return ParsePciAddress(token, &address) && FormatPciAddress(address) == token;
    }
    case 'n':
      return ParseU32(token, &number);
    case 'p':
      return token == "p";
    default:
      return HexLength(token, &bytes);
  }
}

const char* KindName(char kind) {
  switch (kind) {
    case 'a':
      return "a PCI address BB:DD.F";
    case 'n':
      return "a decimal number";
    case 'p':
      return "p or -";
    case 'f':
      return "a path in hexadecimal or -";
    default:
      return "bytes in hexadecimal or -";
  }
}

/// The bytes a token of kind must hold in call; false for kinds of any
/// length.
bool ExpectedBytes(char kind, const RecordedCall& call, size_t* bytes) {
  uint32_t size = 0, count = 0;
  std::vector<uint8_t> geometry;
  switch (kind) {
    case 'g':
      *bytes = sizeof(RomGeometry);
      return true;
    case 'i':
      *bytes = 32;
      return true;
    case 'b':
      ParseU32(call.args[1], &size);
      *bytes = size;
      return true;
    case 'r':
      ParseU32(call.args[3], &size);
      if (ParseU32(call.outs[0], &count)) size = std::min(size, count);
      *bytes = static_cast<size_t>(size) * sizeof(DeviceRecord);
      return true;
    case 'm': {
      RomGeometry g;
      const bool given = FromHexToken(call.args[3], &geometry);
      if (given) memcpy(&g, geometry.data(), sizeof g);
      *bytes = ImageBytesFor(given ? &g : nullptr);
      return true;
    }
    default:
      return false;
  }
}

/// Checks tokens against kinds; false with the reason.
bool CheckTokens(const RecordedCall& call, const char* kinds,
                 const std::vector<std::string>& tokens, bool out,
                 std::string* why) {
  const char* what = out ? " out value " : " argument ";
  const size_t want = strlen(kinds);
  if (tokens.size() != want) {
    const std::string noun = out ? " out value" : " argument";
    *why = call.operation + ": " + Number(tokens.size()) + noun +
           (tokens.size() == 1 ? "" : "s") + " given, " + Number(want) + " expected";
    return false;
  }
  for (size_t i = 0; i < want; ++i) {
    if (!OfKind(kinds[i], tokens[i], out)) {
      *why = call.operation + what + Number(i + 1) + " '" + Excerpt(tokens[i]) +
             "' is not " + KindName(kinds[i]);
      return false;
    }
  }
  return true;
}

/// Checks the buffers' sizes once every token is known to be of its kind.
bool CheckSizes(const RecordedCall& call, const char* kinds,
                const std::vector<std::string>& tokens, bool out,
                std::string* why) {
  for (size_t i = 0; kinds[i]; ++i) {
    size_t want, have = 0;
    if (tokens[i] == "-" || !ExpectedBytes(kinds[i], call, &want)) continue;
    // Every token is of its kind by now: a buffer's is hexadecimal.
    if (!HexLength(tokens[i], &have) || have != want) {
      *why = call.operation + (out ? " out value " : " argument ") +
             Number(i + 1) + " holds " + Number(have) + " bytes, not " +
             Number(want);
      return false;
    }
  }
  return true;
}

}  // namespace

bool ParseCallLine(const std::string& line, RecordedCall* call, std::string* why) {
  *call = RecordedCall();
  std::vector<std::string> words = Words(line);
  const auto equals = std::find(words.begin(), words.end(), "=");
  int64_t value;
  if (words.size() < 3 || words[0] != "call" || equals == words.end() ||
      equals - words.begin() < 3 || equals + 1 == words.end() ||
      !ParseDecimal(words[1], INT64_MAX, false, &value)) {
    *why = "call MICROSECONDS OPERATION ARGS = STATUS OUTS";
    return false;
  }
  call->micros = static_cast<uint64_t>(value);
  call->operation = words[2];
  call->args.assign(words.begin() + 3, equals);
  if (!ParseDecimal(*(equals + 1), 1ull << 31, true, &value) || value > INT32_MAX) {
    *why = "a call needs = STATUS (a 32-bit number)";
    return false;
  }
  call->status = static_cast<LibraryStatus>(value);
  call->outs.assign(equals + 2, words.end());
  for (const Shape& shape : kShapes) {
    if (call->operation != shape.operation) continue;
    return CheckTokens(*call, shape.args, call->args, false, why) &&
           CheckTokens(*call, shape.outs, call->outs, true, why) &&
           CheckSizes(*call, shape.args, call->args, false, why) &&
           CheckSizes(*call, shape.outs, call->outs, true, why);
  }
  *why = "unknown operation '" + Excerpt(call->operation) + "'";
  return false;
}

bool ParseFileLine(const std::string& line, RecordedFile* file, std::string* why) {
  std::vector<std::string> words = Words(line);
  std::vector<uint8_t> name;
  *file = RecordedFile();
  if (words.size() != 3 || words[0] != "file" || !FromHexToken(words[1], &name) ||
      !FromHexToken(words[2], &file->bytes)) {
    *why = "file HEXPATH HEXBYTES";
    return false;
  }
  file->path.assign(name.begin(), name.end());
  return true;
}

}  // namespace sim
