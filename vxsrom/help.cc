#include "vxsrom/help.h"

#include "words/voice.h"

namespace {

/// Which forms print a line of the full text.
enum Form { kBoth,
            kNormal,
            kExtended };

struct HelpLine {
  Form form;
  const wchar_t* text;  ///< Printed as a format; "%ls" takes ProgramName.
};

const HelpLine kFullText[] = {
    {kBoth, L"\nOptions::\n"},
    {kBoth, L" /?          :Display this help message.\n"},
    {kExtended, L" /???        :Display this extend help message.\n"},
    {kBoth, L" /srom       :Specify SPI-Flash-ROM device type.\n"},
    {kBoth, L" /write      :Write both file1(.mem) and file2(.ini) to SPI Flash ROM.\n"},
    {kBoth, L"              If need to write EUI-64, specify file3(.eui).\n"},
    {kBoth, L" /dump       :Dump ROM Image File from SPI-Flash-ROM.\n"},
    {kBoth, L" /erase      :Erase all of the data in SPI-Flash-ROM.\n"},
    {kBoth, L" /noerase    :Erase process is skipped. This command is used with write\n"},
    {kBoth, L"              command if needed.\n"},
    {kBoth, L" /log        :Generates log file named file4.\n"},
    {kBoth, L"              (Default log file named \"log.txt\")\n"},
    {kBoth, L" /address    :Specify one target device with PCI Device Address.\n"},
    {kBoth, L" /fout       :File out to file6 (Don't write to SPI-Flash-ROM).\n"},
    {kBoth, L" /verify     :Verify the ROM image data (Don't write to SPI-Flash-ROM).\n"},
    {kBoth, L" /writeall   :Write both file1(.mem) and file2(.ini) to SPI Flash ROMs \n"},
    {kBoth, L"              of multi Host controllers on same system(computer).\n"},
    {kBoth, L"              If need to write EUI-64, specify file3(.eui).\n"},
    {kExtended, L" /imagegen   :Generate ROM Image File.\n"},
    {kExtended, L" /srominfo   :Specify SPI-Flash-ROM device information.\n"},
    {kExtended, L" /norev      :Skip HW revision check.\n"},
    {kBoth, L"\nWhere::\n"},
    {kNormal, L"romtype       :Serial ROM type number (0-4,?). \n"},
    {kNormal, L"Please see the supported list. \n"},
    {kExtended, L"romtype       :Serial ROM type number (0-4,255,?). \n"},
    {kBoth, L"                  0. Auto Select (check serial rom type automatically)\n"},
    {kBoth, L"                  1. AT25F512/A/B (ATMEL) (PageSize=128Byte, Chip Erase=0x62)\n"},
    {kNormal, L"                  2. MX25L512/512C/2005/4005A/4005C/2006E/4006E(MACRONIX)\n"},
    {kNormal, L"                     Pm25LD512C/010C/020C(Chingis)\n"},
    {kNormal, L"                     (PageSize=256Byte, Chip Erase=0x60)\n"},
    {kNormal, L"                  3. W25X10BV/20BV/40BV(WINBOND)\n"},
    {kNormal, L"                     EN25F05/10/20/40/(EON)\n"},
    {kNormal, L"                     A25L512/010/020/040(AMIC)\n"},
    {kNormal, L"                     (PageSize=256Byte, Chip Erase=0xC7)\n"},
    {kNormal, L"                  4. MX25L5121E/1021E(MACRONIX)\n"},
    {kNormal, L"                     (PageSize=32Byte, Chip Erase=0x60)\n"},
    {kExtended, L"                  2. MX25L512/2005/2006E/4005/4006E(MACRONIX)\n"},
    {kExtended, L"                     Pm25LD512C/010C/020SC(Chingis)\n"},
    {kExtended, L"                     (PageSize=256Byte, Chip Erase=0x60)\n"},
    {kExtended, L"                  3. W25X10BV/20BV/40BV(WINBOND)\n"},
    {kExtended, L"                     M25P05/10/20/40(Numonyx)\n"},
    {kExtended, L"                     A25L512/010/020/040(AMIC)\n"},
    {kExtended, L"                     EN25F05/10/20/40/80(EON)\n"},
    {kExtended, L"                     (PageSize=256Byte, Chip Erase=0xC7)\n"},
    {kExtended, L"                  4. MX25L5121E/1021E(MACRONIX) (PageSize=32Byte, Chip Erase=0x60)\n"},
    {kExtended, L"                  255. 25LC512 (Microchip)\n"},
    {kBoth, L"                  ?. Check Serial ROM Information.\n"},
    {kBoth, L"file1         :Firmware File (extension is mem) released by Vesmark Electroncis.\n"},
    {kBoth, L"file2         :Configuration File (extension is ini) including system dependent\n"},
    {kBoth, L"               Parameters such as PCI Subsystem ID or PCI Subsystem Vendor ID.\n"},
    {kBoth, L"               Vesmark Electronics releases a sample file. User need to modify \n"},
    {kBoth, L"               those parameters in accordance with the customer system.\n"},
    {kBoth, L"file3         :EUI-64 file(extension is eui) that includes EUI-64(XX-XX-XX-XX-\n"},
    {kBoth, L"               XX-XX-XX-XX). If the Product is hot-plug device such as Express\n"},
    {kBoth, L"               Card, the EUI-64 must be set. This requirement is released from\n"},
    {kBoth, L"               Microsoft Windows Logo Program. As for the EUI-64, refer to the\n"},
    {kBoth, L"               following WEB site.\n"},
    {kBoth, L"                   http://standards.ieee.org/regauth/oui/tutorials/EUI64.html\n"},
    {kBoth, L"file4         :LOG File Name. In case of skipping the fielname4, log.txt is \n"},
    {kBoth, L"               generated on the current directory.\n"},
    {kBoth, L"file5         :Output Serial ROM Image File.\n"},
    {kExtended, L"file6         :Firmware File (extension is mem).\n"},
    {kBoth, L"deviceaddress :Format is XX-YY-ZZ. XX is PCI Bus Number(HEX). YY is PCI Device \n"},
    {kBoth, L"               Number(HEX). ZZ is PCI Function Number(HEX). If there are \n"},
    {kBoth, L"               multiple devices on the system, user can specify one device.\n"},
    {kExtended, L"memsize       :SPI-Flash-ROM size (MAX = 32K byte).\n"},
    {kExtended, L"pagesize      :SPI-Flash-ROM access page size (MAX = 32K byte).\n"},
    {kExtended, L"devcode       :SPI-Flash-ROM device code.\n"},
    {kBoth, L"\nExample::\n"},
    {kBoth, L"\t>%ls\n"},
    {kBoth, L"\t>%ls /srom 1 /write Fxxxxxx.MEM CFG.INI\n"},
    {kBoth, L"\t>%ls /srom 1 /erase\n"},
    {kBoth, L"\t>%ls /srom 1 /address 04-00-00 /write Fxxxxxx.MEM CFG.INI\n"},
};

}  // namespace

void PrintHelp(const std::wstring& program_name, bool extended, bool full) {
  const wchar_t* name = program_name.c_str();
  VxsromConsole().Print(L"Serial ROM Utility for VX5130 & VX5130A\n");
  VxsromConsole().Print(L"Usage::\n");
  if (extended) {
    VxsromConsole().Print(L"%ls [ /?[??] |  /srom romtype | /write file1 [file2] [file3] |\n", name);
    VxsromConsole().Print(L"            /dump file1 | /erase | /noerase | /log [file4] |\n");
    VxsromConsole().Print(L"            /address deviceaddress | /imagegen file1 file6 file2 [file3] |\n");
    VxsromConsole().Print(L"            /srominfo memsize pagesize devcode | /fout file5 | /norev ]\n");
  } else {
    VxsromConsole().Print(L"%ls [ /? | /srom romtype | /write file1 [file2] [file3] | /dump file1 | \n", name);
    VxsromConsole().Print(L"          /erase | /noerase | /log [file4] | /address deviceaddress |\n");
    VxsromConsole().Print(L"          /fout file5 | /verify file1 [file2] [file3] |\n");
    VxsromConsole().Print(L"          /writeall file1 [file2] [file3] ]\n");
  }
  if (!full) {
    VxsromConsole().Print(L"\nExample::\n");
    VxsromConsole().Print(L"\t>%ls /srom 1 /write Fxxxxxx.MEM CFG.INI\n", name);
    return;
  }
  Form skipped = extended ? kNormal : kExtended;
  for (const HelpLine& line : kFullText) {
    if (line.form != skipped) VxsromConsole().Print(line.text, name);
  }
}
