#include "rom/image_file.h"

#include "platform/platform.h"

int OpenImageFile(const std::wstring& path, const wchar_t* open_message,
                  ImageFile* file) {
  int error_number = 0;
  std::wstring reason;
  if (!platform::OutputFile::Open(path, file, &error_number, &reason)) {
    platform::Print(open_message, path.c_str(), error_number);
    platform::PrintReason(L"cannot write \"%ls\": %ls", path.c_str(),
                          reason.c_str());
    return -12;
  }
  return 0;
}

int FinishImageFile(ImageFile* file, const uint8_t* data, uint32_t size) {
  platform::OutputFile& output = **file;
  if (!output.Write(data, size) || !output.Commit()) {
    // Abandoned before the run says so: nothing of it is left behind.
    const std::wstring path = output.path();
    const std::wstring reason = output.reason();
    file->reset();
    platform::Print(L"Image file write error\n");
    platform::PrintReason(L"writing \"%ls\" failed: %ls", path.c_str(),
                          reason.c_str());
    return -12;
  }
  return 0;
}
