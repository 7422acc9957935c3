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
    ControllerSpec* current = machine->controllers.empty() ? nullptr : &machine->controllers.back();
    std::string extra;
    if (keyword == "speed") {
      std::string value;
      if (!(words >> value) || !ParseSpeed(value, &machine->speed) || (words >> extra)) {
        return fail("speed needs one factor >= 0 (0 = instant, 1 = real time)");
      }
    } else if (keyword == "trace") {
      std::string name;
      if (!(words >> name) || (words >> extra)) return fail("trace needs one file name");
      machine->trace_path = Resolve(dir, name);
    } else if (keyword == "replay") {
      std::string name;
      if (!(words >> name) || (words >> extra)) return fail("replay needs one recording file name");
      machine->replay_path = Resolve(dir, name);
    } else if (keyword == "fault") {
      FaultRule rule;
      if (!(words >> rule.operation) || !IsOperationName(rule.operation)) {
        return fail("fault needs an operation name such as OpenDevice");
      }
      if (!ParseFaultTail(words, &rule, &why)) return fail(why);
      rule.line = number;
      (current ? current->faults : machine->faults).push_back(rule);
    } else if (keyword == "poll-fault") {
      PollFault rule;
      std::string kind, status, at, amount;
      if (!current) return fail("poll-fault belongs after a controller line");
      if (!(words >> kind >> status >> at >> amount) || at != "at" || (words >> extra)) {
        return fail("poll-fault erase|write|read STATUS at BYTES[%]");
      }
      if (!ParseLongKind(kind, &rule.kind)) return fail("poll-fault kind must be erase, write or read");
      if (!ParseStatus(status, &rule.status) || rule.status >= 0) {
        return fail("poll-fault status must be negative");
      }
      long long v;
      if (!amount.empty() && amount.back() == '%') {
        rule.percent = true;
        amount.pop_back();
        if (!ParseInteger(amount, 0, 100, &v)) return fail("poll-fault percentage 0-100");
      } else if (!ParseInteger(amount, 0, 0x10000, &v)) {
        return fail("poll-fault bytes 0-65536");
      }
      rule.at = static_cast<uint32_t>(v);
      current->poll_faults.push_back(rule);
    } else if (keyword == "pause") {
      PollPause rule;
      std::string kind, until, name;
      if (!current) return fail("pause belongs after a controller line");
      if (!(words >> kind >> until >> name) || until != "until" || (words >> extra)) {
        return fail("pause erase|write|read until FILE");
      }
      if (!ParseLongKind(kind, &rule.kind)) return fail("pause kind must be erase, write or read");
      rule.until_path = Resolve(dir, name);
      current->pauses.push_back(rule);
    } else if (keyword == "stuck") {
      std::string offset, value;
      long long o, v;
      if (!current) return fail("stuck belongs after a controller line");
      if (!(words >> offset >> value) || (words >> extra) ||
          !ParseInteger(offset, 0, current->part->size - 1, &o) ||
          !ParseInteger(value, 0, 255, &v)) {
        return fail("stuck OFFSET VALUE: an offset inside the ROM and a byte value");
      }
      current->stuck.push_back({static_cast<uint32_t>(o), static_cast<uint8_t>(v)});
    } else if (keyword == "enumerate") {
      std::string word, value;
      if (!(words >> word) || word != "counts") return fail("enumerate counts N [N ...]");
      machine->enumerate_counts.clear();
      enumerate_line = number;
      while (words >> value) {
        long long v;
        if (!ParseInteger(value, 0, 1000, &v)) return fail("enumerate counts: numbers 0-1000");
        machine->enumerate_counts.push_back(static_cast<uint32_t>(v));
      }
      if (machine->enumerate_counts.empty()) return fail("enumerate counts needs at least one count");
    } else if (keyword == "controller") {
      std::string address, k1, revision, k2, part, k3, rom;
      ControllerSpec described;
      long long rev;
      if (!(words >> address >> k1 >> revision >> k2 >> part >> k3 >> rom) ||
          k1 != "revision" || k2 != "part" || k3 != "rom" || (words >> extra)) {
        return fail("controller ADDRESS revision N part PARTNAME rom FILE");
      }
      if (!ParsePciAddress(address, &described.address)) {
        return fail("bad PCI address '" + address + "' (" + kAddressForms + ")");
      }
      if (!ParseInteger(revision, 0, 255, &rev)) return fail("revision must be 0-255");
      described.revision = static_cast<uint8_t>(rev);
      described.part = FindPart(part);
      if (!described.part) return fail("unknown part '" + part + "' (vxsim parts lists them)");
      described.rom_path = Resolve(dir, rom);
      for (const ControllerSpec& other : machine->controllers) {
        if (other.address == described.address) return fail("controller " + address + " given twice");
        if (other.rom_path == described.rom_path) return fail("ROM file " + rom + " shared by two controllers");
      }
      machine->controllers.push_back(described);
    } else {
      return fail("unknown keyword '" + keyword + "'");
    }
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
