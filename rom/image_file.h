// Output files of /dump, /write /fout and /imagegen.  An image appears at
// its path only once it is complete: a failed write leaves neither a
// truncated image nor a destroyed earlier file.
#ifndef VXSROM_ROM_IMAGE_FILE_H_
#define VXSROM_ROM_IMAGE_FILE_H_

#include <stdint.h>

#include <memory>
#include <string>

#include "platform/output_file.h"

/// An action's output file, held until the action's end step; empty until
/// opened.
typedef std::unique_ptr<platform::OutputFile> ImageFile;

/// Opens the pending output file for path; on failure prints
/// open_message with the path and the error number.
/// @param open_message a format taking %ls (path) and %d (error number).
/// @return 0 or -12.
int OpenImageFile(const std::wstring& path, const wchar_t* open_message,
                  ImageFile* file);

/// Writes size bytes of data and puts the file in place; on failure says
/// "Image file write error" and abandons it.  @return 0 or -12.
int FinishImageFile(ImageFile* file, const uint8_t* data, uint32_t size);

#endif  // VXSROM_ROM_IMAGE_FILE_H_
