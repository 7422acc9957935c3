#include "sim/formats.h"

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include <sstream>

#include "platform/files.h"
#include "sim/status.h"

namespace sim {
namespace {

const uint8_t kFirmwareMagic[4] = {'V', 'X', 'F', 'W'};
const size_t kMaxEuiFile = 1024;

uint32_t Get32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
         uint32_t{p[3]} << 24;
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

bool ParseNumber(const std::string& text, unsigned long max, unsigned long* value) {
  if (text.empty() || !isdigit(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long v = strtoul(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || v > max) return false;
  *value = v;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

LibraryStatus ParseFirmware(const uint8_t* data, size_t size, Firmware* firmware) {
  if (size < kFirmwareHeaderSize) return kBadFirmware;
  for (int i = 0; i < 4; ++i) {
    if (data[i] != kFirmwareMagic[i]) return kBadFirmware;
  }
  if (data[4] != 1 || (data[5] != 3 && data[5] != 4) || data[6] != 0 || data[7] != 0) {
    return kBadFirmware;
  }
  uint32_t length = Get32(data + 12);
  if (length == 0) return kBadFirmware;
  if (length > kMaxFirmwareCode) return kFirmwareTooLarge;
  if (size != kFirmwareHeaderSize + static_cast<size_t>(length)) return kBadFirmware;
  uint32_t crc = Crc32(data, 16);
  crc = Crc32(data + kFirmwareHeaderSize, length, crc);
  if (crc != Get32(data + 16)) return kFirmwareChecksum;
  firmware->revision = data[5];
  for (int i = 0; i < 4; ++i) firmware->version[i] = data[8 + i];
  firmware->code.assign(data + kFirmwareHeaderSize, data + size);
  return kOk;
}

std::vector<uint8_t> EncodeFirmware(const Firmware& firmware) {
  std::vector<uint8_t> out(kFirmwareMagic, kFirmwareMagic + 4);
  out.push_back(1);
  out.push_back(firmware.revision);
  out.push_back(0);
  out.push_back(0);
  out.insert(out.end(), firmware.version, firmware.version + 4);
  Put32(&out, static_cast<uint32_t>(firmware.code.size()));
  uint32_t crc = Crc32(out.data(), 16);
  crc = Crc32(firmware.code.data(), firmware.code.size(), crc);
  Put32(&out, crc);
  out.insert(out.end(), firmware.code.begin(), firmware.code.end());
  return out;
}

LibraryStatus ParseConfig(const std::string& text, Config* config, std::string* why) {
  *config = Config();
  std::istringstream in(text);
  std::string line;
  int number = 0;
  bool seen[4] = {false, false, false, false};
  static const char* const kKeys[4] = {"subsystemvendorid", "subsystemid", "portdisablemask",
                                       "overcurrentmode"};
  static const unsigned long kMax[4] = {0xFFFF, 0xFFFF, 0xF, 1};
  auto fail = [&](const std::string& reason) {
    *why = "line " + std::to_string(number) + ": " + reason;
    return kBadConfig;
  };
  if (text.find('\0') != std::string::npos) {
    *why = "NUL character";
    return kBadConfig;
  }
  while (std::getline(in, line)) {
    ++number;
    std::string content = Trim(line);
    if (content.empty() || content[0] == '#' || content[0] == ';') continue;
    if (content[0] == '[') {
      if (Lower(content) != "[config]") return fail("the only section is [Config]");
      continue;
    }
    size_t equals = content.find('=');
    if (equals == std::string::npos) return fail("expected Key = Value");
    std::string key = Lower(Trim(content.substr(0, equals)));
    std::string value = Trim(content.substr(equals + 1));
    int index = -1;
    for (int i = 0; i < 4; ++i) {
      if (key == kKeys[i]) index = i;
    }
    if (index < 0) return fail("unknown key '" + Trim(content.substr(0, equals)) + "'");
    if (seen[index]) return fail("key given twice");
    unsigned long v;
    if (!ParseNumber(value, kMax[index], &v)) return fail("bad value '" + value + "'");
    seen[index] = true;
    switch (index) {
      case 0:
        config->subsystem_vendor_id = static_cast<uint16_t>(v);
        break;
      case 1:
        config->subsystem_id = static_cast<uint16_t>(v);
        break;
      case 2:
        config->port_disable_mask = static_cast<uint8_t>(v);
        break;
      default:
        config->overcurrent_mode = static_cast<uint8_t>(v);
        break;
    }
  }
  if (!seen[0] || !seen[1]) {
    *why = "SubsystemVendorId and SubsystemId are required";
    return kBadConfig;
  }
  return kOk;
}

std::string EncodeConfig(const Config& config) {
  char text[256];
  snprintf(text, sizeof text,
           "[Config]\nSubsystemVendorId = 0x%04X\nSubsystemId = 0x%04X\n"
           "PortDisableMask = 0x%X\nOverCurrentMode = %u\n",
           config.subsystem_vendor_id, config.subsystem_id, config.port_disable_mask,
           config.overcurrent_mode);
  return text;
}

LibraryStatus ParseEui64(const std::string& text, Eui64* eui) {
  std::string t = Trim(text);
  if (t.size() != 23) return kBadEui64;
  for (size_t i = 0; i < 8; ++i) {
    int hi = HexDigit(t[3 * i]), lo = HexDigit(t[3 * i + 1]);
    if (hi < 0 || lo < 0 || (i < 7 && t[3 * i + 2] != '-')) return kBadEui64;
    eui->bytes[i] = static_cast<uint8_t>(hi << 4 | lo);
  }
  return kOk;
}

std::string EncodeEui64(const Eui64& eui) {
  char text[32];
  const uint8_t* e = eui.bytes;
  snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X\n", e[0], e[1], e[2],
           e[3], e[4], e[5], e[6], e[7]);
  return text;
}

LibraryStatus LoadFirmware(const std::string& path, Firmware* firmware) {
  std::vector<uint8_t> data;
  const size_t limit = kFirmwareHeaderSize + kMaxFirmwareCode;
  if (!platform::ReadInputFile(path, limit + 1, &data, nullptr)) return kFileAccess;
  if (data.size() > limit) return kFirmwareTooLarge;
  return ParseFirmware(data.data(), data.size(), firmware);
}

LibraryStatus LoadConfig(const std::string& path, Config* config, std::string* why) {
  std::vector<uint8_t> data;
  if (!platform::ReadInputFile(path, kMaxConfigFile + 1, &data, nullptr)) return kFileAccess;
  if (data.size() > kMaxConfigFile) {
    *why = "larger than 16 KiB";
    return kBadConfig;
  }
  return ParseConfig(std::string(data.begin(), data.end()), config, why);
}

LibraryStatus LoadEui64(const std::string& path, Eui64* eui) {
  std::vector<uint8_t> data;
  if (!platform::ReadInputFile(path, kMaxEuiFile + 1, &data, nullptr)) return kFileAccess;
  if (data.size() > kMaxEuiFile) return kBadEui64;
  return ParseEui64(std::string(data.begin(), data.end()), eui);
}

bool ParseVersion(const std::string& text, uint8_t version[4]) {
  unsigned a, b, c, d, e, f;
  char tail;
  if (sscanf(text.c_str(), "%x.%x.%x.%x-%x.%x%c", &a, &b, &c, &d, &e, &f, &tail) != 6) return false;
  if (a > 15 || b > 15 || c > 15 || d > 15 || e > 255 || f > 255) return false;
  version[3] = static_cast<uint8_t>(a << 4 | b);
  version[2] = static_cast<uint8_t>(c << 4 | d);
  version[1] = static_cast<uint8_t>(e);
  version[0] = static_cast<uint8_t>(f);
  return true;
}

std::string FormatVersion(const uint8_t v[4]) {
  char text[32];
  snprintf(text, sizeof text, "%X.%X.%X.%X-%X.%X", v[3] >> 4, v[3] & 15, v[2] >> 4, v[2] & 15,
           v[1], v[0]);
  return text;
}

}  // namespace sim
