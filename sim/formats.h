// The input files the library reads: firmware (.mem), configuration (.ini)
// and EUI-64 (.eui).  Layouts in docs/formats.md.
#ifndef VXSROM_SIM_FORMATS_H_
#define VXSROM_SIM_FORMATS_H_

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "device/controller_library.h"

namespace sim {

/// Bytes of the .mem header before the code.
const uint32_t kFirmwareHeaderSize = 20;
/// Largest firmware code that fits a 32 KiB image.
const uint32_t kMaxFirmwareCode = 32768 - 0x40;
/// Largest .ini file read.
const size_t kMaxConfigFile = 16384;

/// A firmware file's contents.
struct Firmware {
  uint8_t revision = 4;               ///< Chip revision it is built for: 3 or 4.
  uint8_t version[4] = {0, 0, 0, 0};  ///< V4..V7, as the listing shows them.
  std::vector<uint8_t> code;
};

/// A configuration file's contents.
struct Config {
  uint16_t subsystem_vendor_id = 0;
  uint16_t subsystem_id = 0;
  uint8_t port_disable_mask = 0;  ///< Bit n: downstream port n+1 disabled.
  uint8_t overcurrent_mode = 0;   ///< 0 ganged, 1 per port.
};

/// An EUI-64 in display order.
struct Eui64 {
  uint8_t bytes[8] = {0, 0, 0, 0, 0, 0, 0, 0};
};

/// CRC-32 (IEEE 802.3, reflected, as zlib), continued from crc.
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

/// Decodes a .mem file.  @return 0, -41 (malformed) or -43 (checksum).
LibraryStatus ParseFirmware(const uint8_t* data, size_t size, Firmware* firmware);
/// Encodes a .mem file.
std::vector<uint8_t> EncodeFirmware(const Firmware& firmware);

/// Decodes .ini text.  @return 0 or -44 with the reason in *why.
LibraryStatus ParseConfig(const std::string& text, Config* config, std::string* why);
/// Encodes .ini text.
std::string EncodeConfig(const Config& config);

/// Decodes .eui text.  @return 0 or -46.
LibraryStatus ParseEui64(const std::string& text, Eui64* eui);
/// Encodes .eui text (one line).
std::string EncodeEui64(const Eui64& eui);

/// Reads and decodes the file at a UTF-8 path; -42 when unreadable.
LibraryStatus LoadFirmware(const std::string& path, Firmware* firmware);
/// Reads and decodes a configuration file; -42 when unreadable.
LibraryStatus LoadConfig(const std::string& path, Config* config, std::string* why);
/// Reads and decodes an EUI-64 file; -42 when unreadable.
LibraryStatus LoadEui64(const std::string& path, Eui64* eui);

/// Parses "2.0.2.6-1.B" (the listing's version form) into V4..V7.
bool ParseVersion(const std::string& text, uint8_t version[4]);
/// Formats V4..V7 the way the listing prints them.
std::string FormatVersion(const uint8_t version[4]);

}  // namespace sim

#endif  // VXSROM_SIM_FORMATS_H_
