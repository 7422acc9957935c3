#include "vxsrom/driver.h"

#include "device/exit_codes.h"
#include "device/library_loader.h"
#include "device/listing.h"
#include "device/log_record.h"
#include "platform/files.h"
#include "platform/program.h"
#include "rom/actions.h"
#include "rom/progress.h"
#include "vxsrom/command_line.h"
#include "vxsrom/context.h"
#include "vxsrom/help.h"
#include "words/console_reporter.h"
#include "words/voice.h"

using namespace device;
using namespace rom;

namespace {

/// ProgramName's capacity, terminator excluded.
const size_t kMaxProgramName = 255;

/// The file-name component of path without directory and extension.
std::wstring BaseNameWithoutExtension(const std::wstring& path) {
  size_t slash = path.find_last_of(L"/\\");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return name.substr(0, kMaxProgramName);
}

bool EqualFoldingAsciiLetters(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= L'A' && x <= L'Z') x += L'a' - L'A';
    if (y >= L'A' && y <= L'Z') y += L'a' - L'A';
    if (x != y) return false;
  }
  return true;
}

/// Opens the run log; says why not, and the run goes on without it.
void OpenRunLog(RunLog& log, const std::wstring& path) {
  int error = 0;
  if (!log.Open(path, &error)) {
    VxsromConsole().Print(L"Log file open error: %ls(a+) (%d)\n", path.c_str(),
                          error);
    VxsromConsole().Reason(
        L"cannot open the run log \"%ls\": %ls; the run "
        L"goes on, and its record is lost",
        path.c_str(),
        platform::ErrorNumberText(error).c_str());
  }
}

/// A write without a configuration file leaves the subsystem IDs unset
/// (and without an EUI-64 file, the EUI-64): legal, and easy to miss.
void SayWhatIsNotWritten(const RomJob& job) {
  if (!job.config_path.empty()) return;
  VxsromConsole().Reason(
      job.eui64_path.empty()
          ? L"no configuration file and no EUI-64 file: the subsystem IDs "
            L"and the EUI-64 are left unset"
          : L"no configuration file: the subsystem IDs are left unset");
}

/// Runs the one action that the flags name, first in the fixed order.
ExitCode RunAction(Context& ctx) {
  const CommandLine& options = ctx.options;
  RomJob& job = ctx.job;
  if (options.has(OPT_WRITE) || options.has(OPT_WRITEALL))
    SayWhatIsNotWritten(job);
  if (options.has(OPT_WRITE)) return WriteAction(job);
  if (options.has(OPT_ERASE)) return EraseSrom(job, false);
  if (options.has(OPT_DUMP)) return DumpAction(job);
  if (options.has(OPT_IMAGEGEN)) return ImageGenAction(job);
  if (options.has(OPT_VERIFY)) return VerifyAction(job);
  if (options.has(OPT_WRITEALL)) return WriteAllAction(job);
  std::vector<ControllerReport> reports;
  const ExitCode result = ListControllers(ctx.session, &reports);
  // Without a ROM type the listing ends with the short help.
  if (result == kExitOk && ctx.session.rom_type_selector == kRomTypeNone) {
    VxsromConsole().Print(L"\n");
    PrintHelp(ctx.program_name, false, false);
  }
  return result;
}

/// Hands the parsed options to the controller code and the actions.
void ApplyOptions(Context& ctx) {
  const CommandLine& options = ctx.options;
  DeviceSession& session = ctx.session;
  session.Choose(options.rom_type_selector,
                 options.has(OPT_ADDRESS), options.target_address,
                 !options.has(OPT_NOREV));
  RomJob& job = ctx.job;
  job.firmware_path = options.firmware_path;
  job.config_path = options.config_path;
  job.eui64_path = options.eui64_path;
  job.image_path = options.image_path;
  job.no_erase = options.has(OPT_NOERASE);
  job.to_file = options.has(OPT_FOUT);
}

/// Everything after the identity check.
ExitCode RunCommandLine(Context& ctx, const std::vector<std::wstring>& args) {
  ctx.command_line_echo = BuildCommandLineEcho(args);
  if (ParseCommandLine(args, &ctx.options, &ctx.session.rom_types) != kExitOk)
    return kExitCommandLine;
  ApplyOptions(ctx);
  if (ctx.options.has(OPT_HELP)) {
    PrintHelp(ctx.program_name, false, true);
    return kExitOk;
  }
  if (ctx.options.has(OPT_HELP_EXT)) {
    PrintHelp(ctx.program_name, true, true);
    return kExitOk;
  }
  StartedLibrary library;
  if (library.Start(ctx.session) != kExitOk) return kExitFailed;
  RunLog log;
  if (ctx.options.has(OPT_LOG)) OpenRunLog(log, ctx.options.log_path);
  ExitCode exit_code = RunAction(ctx);
  // A stop that came after the last poll is answered too.
  NoticeStopRequest(ctx.session, &ctx.job.stop);
  exit_code = library.Stop(ctx.session, exit_code);
  log.Append(FormatLogRecord(ctx.command_line_echo, exit_code,
                             ctx.session.devices.open_address));
  return exit_code;
}

}  // namespace

ExitCode CheckProgramIdentity(Context& ctx) {
  std::wstring path;
  if (platform::ExecutablePath(&path)) {
    ctx.program_name = BaseNameWithoutExtension(path);
  }
  std::wstring recorded;
  const int result = platform::RecordedOriginalFilename(&recorded);
  if (result != 0) {
    VxsromConsole().Print(L"Get Original Application name error!\n");
    VxsromConsole().Reason(L"cannot read the name recorded in %ls",
                           path.c_str());
    return result == kExitNoMemory ? kExitNoMemory : kExitFailed;
  }
  if (!EqualFoldingAsciiLetters(recorded, ctx.program_name)) {
    VxsromConsole().Print(L"Application name and version are mismatch!\n");
    VxsromConsole().Reason(
        L"this program must be named \"%ls\" (any case, any extension); "
        L"its file is named \"%ls\"",
        recorded.c_str(), ctx.program_name.c_str());
    return kExitWrongName;
  }
  return kExitOk;
}

ExitCode RunProgram(const std::vector<std::wstring>& args) {
  Context ctx;
  ExitCode exit_code = CheckProgramIdentity(ctx);
  if (exit_code == kExitOk) exit_code = RunCommandLine(ctx, args);
  ctx.session.devices.list.reset();
  VxsromConsole().Flush();
  return exit_code;
}
