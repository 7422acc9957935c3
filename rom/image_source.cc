#include "rom/image_source.h"

#include <stdio.h>

#include <algorithm>
#include <new>

#include "device/exit_codes.h"
#include "device/session.h"
#include "device/target.h"
#include "platform/files.h"
#include "rom/job.h"

using namespace device;

namespace rom {

ExitCode AllocateRomBuffer(DeviceSession& session, uint32_t size,
                           RomBuffer* buffer) {
  buffer->reset(new (std::nothrow) uint8_t[size]);
  if (!*buffer) {
    session.report().NoMemoryForBuffer(size);
    return kExitNoMemory;
  }
  return kExitOk;
}

const wchar_t* OptionalPath(const std::wstring& path) {
  return path.empty() ? nullptr : path.c_str();
}

namespace {

/// True for "XX-XX-XX-XX-XX-XX-XX-XX" with white space around it.
bool IsEui64Text(const std::vector<uint8_t>& bytes) {
  std::string text(bytes.begin(), bytes.end());
  const char* blank = " \t\r\n";
  const size_t first = text.find_first_not_of(blank);
  if (first == std::string::npos) return false;
  text = text.substr(first, text.find_last_not_of(blank) - first + 1);
  if (text.size() != 23) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
                     (c >= 'A' && c <= 'F');
    if (i % 3 == 2 ? c != '-' : !hex) return false;
  }
  return true;
}

/// What can be seen of a refused input file without knowing its format
/// beyond what a user writes in it.
InputDefect LookAt(InputFile input, const std::wstring& path) {
  std::vector<uint8_t> bytes;
  std::wstring why;
  if (!platform::ReadInputFile(path, 4096, &bytes, &why))
    return InputDefect::kUnknown;
  if (bytes.empty()) return InputDefect::kEmpty;
  if (input == InputFile::kEui64 && !IsEui64Text(bytes))
    return InputDefect::kNotEui64;
  if (input == InputFile::kConfig &&
      std::find(bytes.begin(), bytes.end(), '=') == bytes.end())
    return InputDefect::kNoSetting;
  return InputDefect::kUnknown;
}

/// Builds the image with UpdateSromImage from the firmware, configuration
/// and EUI-64 paths for geometry (null: none).
ExitCode UpdateImage(RomJob& job, const RomGeometry* geometry,
                     uint8_t* image) {
  LibraryStatus status = job.session.library->UpdateSromImage(
      job.firmware_path.c_str(), OptionalPath(job.config_path),
      OptionalPath(job.eui64_path), geometry, image);
  if (status == 0) return kExitOk;
  ImageBuildFailure failure = {status, MapStatusToExitCode(status), false, {}};
  failure.problems = ImageBuildProblems(job, failure.exit_code);
  job.report().ImageBuildFailed(failure);
  return failure.exit_code;
}

/// The chip revision image is for (NO_REVISION when revisions are not
/// checked, without asking the library).
ExitCode ImageRevision(RomJob& job, const uint8_t* image, uint32_t size,
                       uint8_t* revision) {
  *revision = NO_REVISION;
  if (!job.session.check_revision) return kExitOk;
  ImageInfo info = {};
  LibraryStatus status =
      job.session.library->GetSromImageInfo(image, size, &info);
  if (status != 0) {
    job.report().ImageInfoFailed(status);
    return MapStatusToExitCode(status);
  }
  *revision = ImageChipRevision(info);
  return kExitOk;
}

}  // namespace

std::vector<InputProblem> ImageBuildProblems(const RomJob& job,
                                             ExitCode exit_code) {
  const struct {
    InputFile input;
    const std::wstring& path;
    ExitCode refused_code;  ///< The exit code that blames its contents.
  } inputs[] = {{InputFile::kFirmware, job.firmware_path, kExitFirmware},
                {InputFile::kConfig, job.config_path, kExitConfig},
                {InputFile::kEui64, job.eui64_path, kExitEui64}};
  std::vector<InputProblem> problems;
  for (const auto& input : inputs) {
    if (input.path.empty()) continue;
    if (exit_code == kExitFile) {
      // Opened as the library would open it, and closed at once.
      std::wstring why;
      FILE* file = platform::OpenRegularFile(input.path, &why);
      if (file)
        fclose(file);
      else
        problems.push_back({input.input, input.path, why,
                            InputDefect::kUnknown});
    } else if (exit_code == input.refused_code) {
      problems.push_back({input.input, input.path, std::wstring(),
                          LookAt(input.input, input.path)});
    }
  }
  return problems;
}

ExitCode PrepareImage(RomJob& job, const RomGeometry* geometry,
                      RevisionCheck check, PreparedImage* image) {
  image->size = ImageSize(geometry);
  ExitCode result = AllocateRomBuffer(job.session, image->size, &image->bytes);
  if (result == kExitOk) result = UpdateImage(job, geometry, image->bytes.get());
  if (result == kExitOk)
    result = ImageRevision(job, image->bytes.get(), image->size,
                           &image->revision);
  if (result == kExitOk && check == RevisionCheck::kSelected)
    result = CheckSelectedRevision(job.session, image->revision);
  return result;
}

}  // namespace rom
