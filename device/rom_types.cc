#include "device/rom_types.h"

#include <string.h>

#include "device/session.h"
#include "device/target.h"
#include "platform/platform.h"

namespace {

/// RomTypeDescription: index 0 for a part matching no listed type.
const wchar_t* const kRomTypeDescription[5] = {
    L"    Unknown SROM         Type : -, PageSize = 0x%X, Chip Erase = 0x%02X\n",
    L"    AT25F512/A/B(ATMEL)  Type : 1, PageSize = 0x80, Chip Erase = 0x62\n",
    L"    MX25L512/2005/4005A/4005C/2006E/4006E(MACRONIX)/Pm25LD512C/010C/020C(Chingis)   Type : 2, PageSize = 0x100, Chip Erase = 0x60\n",
    L"    W25X10BV/20BV/40BV(WINBOND)/EN25F05/10/20/40/(EON)/A25L512/010/020/040(AMIC) Type : 3, PageSize = 0x100, Chip Erase = 0xC7\n",
    L"    MX25L5121E/1021E(MACRONIX) Type : 4, PageSize = 0x20, Chip Erase = 0x60\n",
};

}  // namespace

uint32_t ImageSize(const RomGeometry& geometry) {
  return geometry.mem_size < 0x8000 ? geometry.mem_size : 0x8000;
}

int DetectRomGeometry(DeviceSession& session, PciAddress address) {
  RomGeometry reported = {};
  LibraryStatus status = session.library->GetSromInfo(address, &reported);
  const std::wstring where = FormatAddress(address);
  if (status == -55) {
    platform::Print(L"Unsupported Serial ROM!\n");
    platform::PrintReason(L"%ls: the serial ROM part is not supported",
                          where.c_str());
    return -17;
  }
  if (status != 0) {
    platform::Print(L"Can't get Serial ROM Information (%d)\n",
                    static_cast<int>(status));
    platform::PrintReason(
        L"%ls: cannot read the serial ROM's geometry (library status %d)",
        where.c_str(), static_cast<int>(status));
    return -1;
  }
  if (reported.mem_size == 0) {
    // A ROM of no bytes can be neither written nor read.
    platform::Print(L"Unsupported Serial ROM!\n");
    platform::PrintReason(L"%ls: the library reports a ROM of 0 bytes",
                          where.c_str());
    return -17;
  }
  session.rom_types.rows[kRomTypeAuto] = reported;
  return 0;
}

int IdentifySrom(DeviceSession& session, PciAddress address) {
  int result = DetectRomGeometry(session, address);
  if (result != 0) return result;
  const RomGeometry& reported = session.rom_types.rows[kRomTypeAuto];
  for (int row = 1; row <= 4; ++row) {
    if (memcmp(&reported, &session.rom_types.rows[row], sizeof reported) == 0) {
      platform::Print(kRomTypeDescription[row]);
      return 0;
    }
  }
  platform::Print(kRomTypeDescription[0], reported.page_size,
                  reported.dev_code >> 8);
  platform::PrintReason(L"%ls: the ROM matches none of the types 1 to 4",
                        FormatAddress(address).c_str());
  return -17;
}
