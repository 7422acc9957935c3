#include "rom/image_file.h"

#include <errno.h>

int OpenImageFile(const std::wstring& path, const wchar_t* open_message,
                  platform::OutputFile* file) {
  int error_number = 0;
  if (!platform::CreateOutputFile(path, file, &error_number)) {
    platform::Print(open_message, path.c_str(), error_number);
    platform::PrintReason(L"cannot write \"%ls\": %ls", path.c_str(),
                          platform::ErrorNumberText(error_number).c_str());
    return -12;
  }
  return 0;
}

int FinishImageFile(platform::OutputFile* file, const uint8_t* data,
                    uint32_t size) {
  if (!platform::WriteOutputFile(file, data, size) ||
      !platform::CommitOutputFile(file)) {
    const int error_number = errno;
    platform::DiscardOutputFile(file);
    platform::Print(L"Image file write error\n");
    platform::PrintReason(L"writing \"%ls\" failed: %ls", file->path.c_str(),
                          platform::ErrorNumberText(error_number).c_str());
    return -12;
  }
  return 0;
}
