#include "sim/recording.h"

#include <algorithm>

#include "platform/text.h"
#include "sim/machine.h"

namespace sim {

const char kRecordingHeader[] = "vxctl-recording 2";

namespace {

/// A number as a token.
std::string Number(uint64_t value) { return std::to_string(value); }

}  // namespace

std::string Excerpt(const std::string& text) {
  const size_t kShown = 24;
  std::string shown;
  for (size_t i = 0; i < text.size() && i < kShown; ++i) {
    const char c = text[i];
    shown += c >= 0x20 && c < 0x7F ? c : '?';
  }
  return text.size() > kShown ? shown + "..." : shown;
}

std::string RecordedCall::Line() const {
  std::string line = "call " + Number(micros) + " " + operation;
  for (const std::string& arg : args) line += " " + arg;
  line += " = " + std::to_string(status);
  for (const std::string& out : outs) line += " " + out;
  return line;
}

std::string RecordedCall::Shown() const {
  std::string shown;
  for (const std::string& arg : args)
    shown += (shown.empty() ? "" : ", ") +
             (arg.size() > 24 ? arg.substr(0, 16) + "..." : arg);
  return operation + "(" + shown + ")";
}

std::string FileLine(const RecordedFile& file) {
  return "file " + HexToken(file.path.data(), file.path.size()) + " " +
         HexToken(file.bytes.data(), file.bytes.size());
}

std::string HexToken(const void* data, size_t size) {
  if (size == 0) return ".";
  static const char kDigits[] = "0123456789abcdef";
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  std::string text(size * 2, '0');
  for (size_t i = 0; i < size; ++i) {
    text[2 * i] = kDigits[bytes[i] >> 4];
    text[2 * i + 1] = kDigits[bytes[i] & 15];
  }
  return text;
}

bool FromHexToken(const std::string& token, std::vector<uint8_t>* bytes) {
  bytes->clear();
  if (token == ".") return true;
  if (token.empty() || token.size() % 2) return false;
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  for (size_t i = 0; i < token.size(); i += 2) {
    int hi = digit(token[i]), lo = digit(token[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes->push_back(static_cast<uint8_t>(hi << 4 | lo));
  }
  return true;
}

std::string BufferToken(const void* data, size_t size) {
  return data ? HexToken(data, size) : "-";
}

std::string PathToken(const wchar_t* path) {
  if (!path) return "-";
  std::string utf8 = platform::Utf8FromWide(path);
  return HexToken(utf8.data(), utf8.size());
}

std::string PointerToken(const void* pointer) { return pointer ? "p" : "-"; }

uint32_t ImageBytesFor(const RomGeometry* geometry) { return ImageSize(geometry); }

std::vector<std::string> EnumerateArgs(uint32_t zero1, uint32_t zero2,
                                       const DeviceRecord* records,
                                       uint32_t capacity) {
  return {Number(zero1), Number(zero2), PointerToken(records),
          Number(capacity)};
}

std::vector<std::string> OpenArgs(PciAddress address, uint32_t two,
                                  const RomGeometry* geometry) {
  return {FormatPciAddress(address), Number(two),
          BufferToken(geometry, sizeof(RomGeometry))};
}

std::vector<std::string> AddressArgs(PciAddress address) {
  return {FormatPciAddress(address)};
}

std::vector<std::string> StartReadArgs(PciAddress address, uint32_t offset,
                                       uint32_t size, uint32_t zero,
                                       const void* reserved, uint32_t one) {
  return {FormatPciAddress(address), Number(offset), Number(size),
          Number(zero), PointerToken(reserved), Number(one)};
}

std::vector<std::string> PollReadArgs(PciAddress address, uint32_t size,
                                      const uint8_t* buffer) {
  return {FormatPciAddress(address), Number(size), PointerToken(buffer)};
}

std::vector<std::string> StartWriteArgs(PciAddress address, uint32_t size,
                                        const uint8_t* image, uint32_t one) {
  return {FormatPciAddress(address), Number(size), BufferToken(image, size),
          Number(one)};
}

std::vector<std::string> StartEraseArgs(PciAddress address, uint32_t one) {
  return {FormatPciAddress(address), Number(one)};
}

std::vector<std::string> BuildArgs(const wchar_t* firmware,
                                   const wchar_t* config,
                                   const wchar_t* eui64,
                                   const RomGeometry* geometry) {
  return {PathToken(firmware), PathToken(config), PathToken(eui64),
          BufferToken(geometry, sizeof(RomGeometry))};
}

std::vector<std::string> ImageInfoArgs(const uint8_t* image, uint32_t size) {
  return {BufferToken(image, size), Number(size)};
}

std::vector<std::string> PatchArgs(const uint8_t* image, uint32_t size,
                                   uint32_t zero1, uint32_t zero2,
                                   const void* reserved1,
                                   const RomGeometry* geometry,
                                   const void* reserved2, uint32_t four) {
  return {BufferToken(image, size), Number(size), Number(zero1),
          Number(zero2), PointerToken(reserved1),
          BufferToken(geometry, sizeof(RomGeometry)), PointerToken(reserved2),
          Number(four)};
}

}  // namespace sim
