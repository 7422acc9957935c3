#include "sim/demo.h"

#include "platform/files.h"
#include "platform/output_file.h"
#include "platform/program.h"
#include "sim/image.h"
#include "sim/parts.h"

namespace sim {

Firmware SampleFirmware(uint8_t revision, uint32_t code_size) {
  Firmware fw;
  fw.revision = revision;
  // V4..V7 = 0B 01 26 20 prints as 2.0.2.6-1.B.
  const uint8_t v4[4] = {0x0B, 0x01, 0x26, 0x20};
  const uint8_t v3[4] = {0x09, 0x00, 0x23, 0x10};
  for (int i = 0; i < 4; ++i) fw.version[i] = revision == 3 ? v3[i] : v4[i];
  // A fixed pseudo-random sequence: looks like code, same on every run.
  uint32_t x = 0x12345678u ^ revision;
  fw.code.resize(code_size);
  for (uint8_t& b : fw.code) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  return fw;
}

bool EnsureDemoMachine(std::string* path, std::string* error) {
  std::string base = platform::UserStateDirectory();
  if (base.empty()) {
    *error = "no state directory (set HOME or XDG_STATE_HOME)";
    return false;
  }
#ifdef _WIN32
  std::string dir = base + "\\vxctl-sim\\";
#else
  std::string dir = base + "/vxctl-sim/";
#endif
  *path = dir + "machine.txt";
  if (platform::PathExists(*path)) return true;
  if (!platform::MakeDirectories(dir.substr(0, dir.size() - 1))) {
    *error = "cannot create " + dir;
    return false;
  }
  const Part* part = FindPart("MX25L4005A");
  Config config;
  config.subsystem_vendor_id = 0x1234;
  config.subsystem_id = 0x5678;
  Eui64 eui = {{0x00, 0x11, 0x22, 0xFF, 0xFE, 0x33, 0x44, 0x55}};
  std::vector<uint8_t> image;
  BuildImage(SampleFirmware(4), &config, &eui, &part->reported, kMaxImageSize, &image);
  image.resize(part->size, 0xFF);
  const std::string text =
      "# The demo machine of the simulated controller library, made on first\n"
      "# use.  Edit it freely; delete it to get a fresh one.\n"
      "speed 1\n"
      "controller 04:00.0 revision 4 part MX25L4005A rom demo-rom.bin\n";
  if (!platform::ReplaceFileAtomically(dir + "demo-rom.bin", image.data(), image.size()) ||
      !platform::ReplaceFileAtomically(*path, text.data(), text.size())) {
    *error = "cannot write the demo machine in " + dir;
    return false;
  }
  return true;
}

}  // namespace sim
