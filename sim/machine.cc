#include "sim/machine.h"

#include <ctype.h>
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <sstream>

#include "platform/files.h"

namespace sim {
namespace {

bool ParseInteger(const std::string& text, long long min, long long max,
                  long long* value) {
  if (text.empty()) return false;
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  long long v = strtoll(begin, &end, 0);
  if (errno != 0 || end == begin || *end != '\0' || v < min || v > max) return false;
  *value = v;
  return true;
}

bool ParseStatus(const std::string& text, LibraryStatus* status) {
  long long v;
  if (!ParseInteger(text, INT32_MIN, INT32_MAX, &v)) return false;
  *status = static_cast<LibraryStatus>(v);
  return true;
}

bool ParseSpeed(const std::string& text, double* speed) {
  if (text.empty()) return false;
  char* end = nullptr;
  double v = strtod(text.c_str(), &end);
  if (*end != '\0' || !(v >= 0.0) || v > 1e6) return false;
  *speed = v;
  return true;
}

std::string Resolve(const std::string& dir, const std::string& name) {
  return platform::IsAbsolutePath(name) ? name : dir + name;
}

// Reads the rest of a fault line: STATUS [call N].
bool ParseFaultTail(std::istringstream& words, FaultRule* rule, std::string* why) {
  std::string status, word, n;
  if (!(words >> status) || !ParseStatus(status, &rule->status)) {
    *why = "fault needs a status (a signed integer)";
    return false;
  }
  if (words >> word) {
    long long call;
    std::string extra;
    if (word == "once" || word == "fired") {
      rule->once = true;
      rule->fired = word == "fired";
    } else if (word != "call" || !(words >> n) || !ParseInteger(n, 1, UINT32_MAX, &call)) {
      *why = "fault ... STATUS may only be followed by 'call N' (N >= 1) or 'once'";
      return false;
    } else {
      rule->call = static_cast<uint32_t>(call);
    }
    if (words >> extra) {
      *why = "fault ... STATUS takes one of 'call N' or 'once'";
      return false;
    }
  }
  return true;
}

/// "erase", "write" or "read" as the operation's kind.
bool ParseLongKind(const std::string& word, LongKind* kind) {
  if (word == "erase") {
    *kind = LongKind::kErase;
  } else if (word == "write") {
    *kind = LongKind::kWrite;
  } else if (word == "read") {
    *kind = LongKind::kRead;
  } else {
    return false;
  }
  return true;
}

/// Where a statement stands: the description's folder and its line.
struct Place {
  const std::string& dir;
  int line;
};

/// The controller that the statements after it belong to, if any.
ControllerSpec* Current(Machine* machine) {
  return machine->controllers.empty() ? nullptr : &machine->controllers.back();
}

/// True when the line has words left over.
bool Extra(std::istringstream& words) {
  std::string extra;
  return static_cast<bool>(words >> extra);
}

bool SpeedStatement(std::istringstream& words, const Place&, Machine* machine, std::string* why) {
  std::string value;
  if (!(words >> value) || !ParseSpeed(value, &machine->speed) || Extra(words)) {
    *why = "speed needs one factor >= 0 (0 = instant, 1 = real time)";
    return false;
  }
  return true;
}

/// One file name, resolved against the description's folder.
bool FileName(std::istringstream& words, const Place& place, std::string* path) {
  std::string name;
  if (!(words >> name) || Extra(words)) return false;
  *path = Resolve(place.dir, name);
  return true;
}

bool TraceStatement(std::istringstream& words, const Place& place, Machine* machine, std::string* why) {
  if (FileName(words, place, &machine->trace_path)) return true;
  *why = "trace needs one file name";
  return false;
}

bool ReplayStatement(std::istringstream& words, const Place& place, Machine* machine, std::string* why) {
  if (FileName(words, place, &machine->replay_path)) return true;
  *why = "replay needs one recording file name";
  return false;
}

bool FaultStatement(std::istringstream& words, const Place& place, Machine* machine, std::string* why) {
  FaultRule rule;
  if (!(words >> rule.operation) || !IsOperationName(rule.operation)) {
    *why = "fault needs an operation name such as OpenDevice";
    return false;
  }
  if (!ParseFaultTail(words, &rule, why)) return false;
  rule.line = place.line;
  ControllerSpec* current = Current(machine);
  (current ? current->faults : machine->faults).push_back(rule);
  return true;
}

/// BYTES or PCT% of a poll fault.
bool ParseAmount(std::string amount, PollFault* rule, std::string* why) {
  long long v;
  if (!amount.empty() && amount.back() == '%') {
    rule->percent = true;
    amount.pop_back();
    if (!ParseInteger(amount, 0, 100, &v)) {
      *why = "poll-fault percentage 0-100";
      return false;
    }
  } else if (!ParseInteger(amount, 0, 0x10000, &v)) {
    *why = "poll-fault bytes 0-65536";
    return false;
  }
  rule->at = static_cast<uint32_t>(v);
  return true;
}

bool PollFaultStatement(std::istringstream& words, const Place&, Machine* machine, std::string* why) {
  PollFault rule;
  std::string kind, status, at, amount;
  ControllerSpec* current = Current(machine);
  if (!current) {
    *why = "poll-fault belongs after a controller line";
  } else if (!(words >> kind >> status >> at >> amount) || at != "at" || Extra(words)) {
    *why = "poll-fault erase|write|read STATUS at BYTES[%]";
  } else if (!ParseLongKind(kind, &rule.kind)) {
    *why = "poll-fault kind must be erase, write or read";
  } else if (!ParseStatus(status, &rule.status) || rule.status >= 0) {
    *why = "poll-fault status must be negative";
  } else if (ParseAmount(amount, &rule, why)) {
    current->poll_faults.push_back(rule);
    return true;
  }
  return false;
}

bool PauseStatement(std::istringstream& words, const Place& place, Machine* machine, std::string* why) {
  PollPause rule;
  std::string kind, until, name;
  ControllerSpec* current = Current(machine);
  if (!current) {
    *why = "pause belongs after a controller line";
  } else if (!(words >> kind >> until >> name) || until != "until" || Extra(words)) {
    *why = "pause erase|write|read until FILE";
  } else if (!ParseLongKind(kind, &rule.kind)) {
    *why = "pause kind must be erase, write or read";
  } else {
    rule.until_path = Resolve(place.dir, name);
    current->pauses.push_back(rule);
    return true;
  }
  return false;
}

bool StuckStatement(std::istringstream& words, const Place&, Machine* machine, std::string* why) {
  std::string offset, value;
  long long o, v;
  ControllerSpec* current = Current(machine);
  if (!current) {
    *why = "stuck belongs after a controller line";
    return false;
  }
  if (!(words >> offset >> value) || Extra(words) ||
      !ParseInteger(offset, 0, current->part->size - 1, &o) ||
      !ParseInteger(value, 0, 255, &v)) {
    *why = "stuck OFFSET VALUE: an offset inside the ROM and a byte value";
    return false;
  }
  current->stuck.push_back({static_cast<uint32_t>(o), static_cast<uint8_t>(v)});
  return true;
}

bool EnumerateStatement(std::istringstream& words, const Place&, Machine* machine, std::string* why) {
  std::string word, value;
  if (!(words >> word) || word != "counts") {
    *why = "enumerate counts N [N ...]";
    return false;
  }
  machine->enumerate_counts.clear();
  while (words >> value) {
    long long v;
    if (!ParseInteger(value, 0, 1000, &v)) {
      *why = "enumerate counts: numbers 0-1000";
      return false;
    }
    machine->enumerate_counts.push_back(static_cast<uint32_t>(v));
  }
  if (!machine->enumerate_counts.empty()) return true;
  *why = "enumerate counts needs at least one count";
  return false;
}

/// The controller's fields after its address; why says what is wrong.
bool ControllerFields(const std::string& revision, const std::string& part, const std::string& rom,
                      const Place& place, ControllerSpec* described, std::string* why) {
  long long rev;
  if (!ParseInteger(revision, 0, 255, &rev)) {
    *why = "revision must be 0-255";
    return false;
  }
  described->revision = static_cast<uint8_t>(rev);
  described->part = FindPart(part);
  if (!described->part) {
    *why = "unknown part '" + part + "' (vxsim parts lists them)";
    return false;
  }
  described->rom_path = Resolve(place.dir, rom);
  return true;
}

bool ControllerStatement(std::istringstream& words, const Place& place, Machine* machine, std::string* why) {
  std::string address, k1, revision, k2, part, k3, rom;
  ControllerSpec described;
  if (!(words >> address >> k1 >> revision >> k2 >> part >> k3 >> rom) ||
      k1 != "revision" || k2 != "part" || k3 != "rom" || Extra(words)) {
    *why = "controller ADDRESS revision N part PARTNAME rom FILE";
    return false;
  }
  if (!ParsePciAddress(address, &described.address)) {
    *why = "bad PCI address '" + address + "' (" + kAddressForms + ")";
    return false;
  }
  if (!ControllerFields(revision, part, rom, place, &described, why)) return false;
  for (const ControllerSpec& other : machine->controllers) {
    const bool twice = other.address == described.address;
    if (twice || other.rom_path == described.rom_path) {
      *why = twice ? "controller " + address + " given twice" : "ROM file " + rom + " shared by two controllers";
      return false;
    }
  }
  machine->controllers.push_back(described);
  return true;
}

/// A statement of the description: its keyword and its parser, which
/// applies it to the machine or says why it cannot.
struct Statement {
  const char* keyword;
  bool (*parse)(std::istringstream& words, const Place& place, Machine* machine, std::string* why);
};

const Statement kStatements[] = {
    {"speed", SpeedStatement},
    {"trace", TraceStatement},
    {"replay", ReplayStatement},
    {"fault", FaultStatement},
    {"poll-fault", PollFaultStatement},
    {"pause", PauseStatement},
    {"stuck", StuckStatement},
    {"enumerate", EnumerateStatement},
    {"controller", ControllerStatement},
};

const Statement* FindStatement(const std::string& keyword) {
  for (const Statement& s : kStatements) {
    if (keyword == s.keyword) return &s;
  }
  return nullptr;
}

}  // namespace

bool IsOperationName(const std::string& name) {
#define VXCTL_NAME_MATCH(op, ordinal) \
  if (name == #op) return true;
  VXCTL_OPERATIONS(VXCTL_NAME_MATCH)
#undef VXCTL_NAME_MATCH
  return false;
}

const char kAddressForms[] = "BB:DD.F or BB-DD-F, hexadecimal, e.g. 04:00.0";

std::string MarkFired(const std::string& text, int line) {
  size_t at = 0;
  for (int n = 1; n < line && at != std::string::npos; ++n) {
    at = text.find('\n', at);
    if (at != std::string::npos) ++at;
  }
  if (at == std::string::npos) return text;
  const size_t end = text.find('\n', at);
  std::string statement = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
  const size_t once = statement.rfind("once");
  if (once == std::string::npos) return text;
  statement.replace(once, 4, "fired");
  return text.substr(0, at) + statement + (end == std::string::npos ? "" : text.substr(end));
}

bool ParseMachine(const std::string& text, const std::string& dir,
                  Machine* machine, std::string* error) {
  *machine = Machine();
  std::istringstream in(text);
  std::string line;
  int number = 0;
  // The counts can only be checked once every controller is known, after
  // the loop; a mistake there still names the line that gave them.
  int enumerate_line = 0;
  std::string why;
  auto fail = [&](const std::string& reason) {
    *error = "line " + std::to_string(number) + ": " + reason;
    return false;
  };
  while (std::getline(in, line)) {
    ++number;
    if (line.find('\0') != std::string::npos) return fail("NUL character");
    std::istringstream words(line.substr(0, line.find('#')));
    std::string keyword;
    if (!(words >> keyword)) continue;
    const Statement* statement = FindStatement(keyword);
    if (!statement) return fail("unknown keyword '" + keyword + "'");
    if (!statement->parse(words, {dir, number}, machine, &why)) return fail(why);
    if (keyword == "enumerate") enumerate_line = number;
  }
  number = enumerate_line;
  for (uint32_t count : machine->enumerate_counts) {
    if (count > machine->controllers.size()) {
      return fail("enumerate counts: " + std::to_string(count) + " is more than the controllers described");
    }
  }
  return true;
}

}  // namespace sim
