#include "vxrom/vxrom.h"

#include <stdio.h>

#include <exception>
#include <new>

#include "device/exit_codes.h"
#include "device/library_loader.h"
#include "device/log_record.h"
#include "device/session.h"
#include "device/target.h"
#include "line/worker_protocol.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/text.h"
#include "rom/job.h"
#include "rom/progress.h"
#include "vxrom/history.h"
#include "vxrom/info.h"
#include "vxrom/job.h"
#include "vxrom/journal_view.h"
#include "vxrom/list.h"
#include "vxrom/options.h"
#include "vxrom/output.h"
#include "vxrom/pool.h"
#include "vxrom/provision/provision.h"
#include "vxrom/provision/worker.h"
#include "vxrom/report.h"
#include "vxrom/restore.h"
#include "words/console_reporter.h"

using namespace device;
using namespace rom;
using namespace line;
using namespace store;

namespace {

/// Files larger than this are no image of any ROM, and are not read
/// whole: every image is at most 32 KiB.
const size_t kLargestImageFile = 1u << 20;

/// Where vxsrom's console text of the actions goes: vxrom keeps standard
/// output for its results.  A terminal shows the progress on stderr; a
/// file or pipe would only collect the carriage returns of its redrawn
/// line.
FILE* MessageStream(const CommonOptions& common) {
  if (common.quiet) return nullptr;
  if (common.progress || platform::IsTerminal(stderr)) return stderr;
  return nullptr;
}

/// Reads the image file named on the command line.
ExitCode ReadImage(const RomJob& job, std::vector<uint8_t>* image) {
  ExitCode result = ReadImageFile(job, kLargestImageFile + 1, image);
  if (result == 0 && image->size() > kLargestImageFile) {
    VxromReasons().Reason(L"\"%ls\" is larger than %u bytes: no image",
                          job.image_path.c_str(),
                          static_cast<unsigned>(kLargestImageFile));
    return kExitImage;
  }
  return result;
}

/// The command, with the library started around it.
ExitCode RunCommand(const VxromOptions& options, DeviceSession& session,
                    RomJob& job) {
  std::vector<uint8_t> image;
  ExitCode result = kExitOk;
  if (options.command != Command::kList &&
      (result = ReadImage(job, &image)) != 0)
    return result;
  // list --db: the store's word on each board's number.
  std::unique_ptr<Store> store;
  if (options.command == Command::kList && !options.common.db_url.empty() &&
      !(store = OpenOptionsStore(options.common)))
    return kExitDatabase;
  StartedLibrary library;
  if ((result = library.Start(session)) != 0) return result;
  switch (options.command) {
    case Command::kList:
      result = ListCommand(session, options.common.json, store.get());
      break;
    case Command::kInfo:
      result = InfoCommand(session, job.image_path, image, options.common.json);
      break;
    default:
      result = RestoreCommand(job, image, options.rom.clone_eui);
      if (result == 0) {
        WriteResult(platform::Utf8FromWide(
            platform::WideFromUtf8(FormatPciAddress(session.devices.open_address)) +
            L": restored \"" +
            job.image_path + L"\", " + std::to_wstring(image.size()) +
            L" bytes written and verified\n"));
      }
      break;
  }
  // A stop that came after the last poll is answered too.
  NoticeStopRequest(session, &job.stop);
  return library.Stop(session, result);
}

int Run(const std::vector<std::wstring>& args) {
  // A board's worker: started by provision, with a task of its own form.
  if (args.size() > 1 && args[1] == kWorkerCommand)
    return WorkerCommand(std::vector<std::wstring>(args.begin() + 2, args.end()));
  VxromOptions options;
  int exit_code = 0;
  if (!ParseVxromCommandLine(args, &options, &exit_code)) return exit_code;
  // The line's commands keep their own database and start the library
  // only where they need it.
  switch (options.command) {
    case Command::kPoolAdd:
    case Command::kPoolImport:
    case Command::kPoolStatus:
    case Command::kPoolList:
    case Command::kPoolRelease:
    case Command::kPoolRetire:
    case Command::kPoolLog:
    case Command::kPoolLowWater:
      return PoolCommand(options.command, options.common, options.pool);
    case Command::kHistoryVerify:
      return HistoryVerifyCommand(options.common);
    case Command::kJobRelease:
    case Command::kJobList:
    case Command::kJobShow:
    case Command::kJobRetire:
      return JobCommand(options.command, options.common, options.job);
    case Command::kHistory:
      return HistoryCommand(options.common, options.history);
    case Command::kProvision:
      return ProvisionCommand(options.common, options.provision);
    case Command::kJournal:
      return JournalCommand(options.common);
    case Command::kReport:
      return ReportCommand(options.common, options.report);
    default:
      break;
  }
  const Console console(MessageStream(options.common), L"vxrom");
  const RomOptions& rom = options.rom;
  ConsoleReporter reporter(console, L"--address", L"--no-revision-check",
                           L"--srom");
  DeviceSession session(&reporter);
  session.Choose(rom.rom_type_selector, rom.has_address, rom.address, rom.check_revision);
  RomJob job(session);
  job.image_path = rom.image_path;
  RunLog log;
  int error_number = 0;
  if (rom.has_log && !log.Open(rom.log_path, &error_number)) {
    // As vxsrom does, the run goes on without its record.
    VxromReasons().Reason(L"cannot open the run log \"%ls\": %ls",
                          rom.log_path.c_str(),
                          platform::ErrorNumberText(error_number).c_str());
  }
  exit_code = RunCommand(options, session, job);
  log.Append(FormatLogRecord(BuildCommandLineEcho(args), exit_code,
                             session.devices.open_address));
  return exit_code;
}

}  // namespace

int RunVxrom(const std::vector<std::wstring>& args) {
  try {
    return Run(args);
  } catch (const std::bad_alloc&) {
    VxromReasons().Reason(L"out of memory");
    return kExitNoMemory;
  } catch (const std::exception& e) {
    VxromReason(e.what());
    return kExitFailed;
  }
}
