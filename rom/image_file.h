// Output files of /dump, /write /fout and /imagegen.  An image appears at
// its path only once it is complete: a failed write leaves neither a
// truncated image nor a destroyed earlier file.
#ifndef VXSROM_ROM_IMAGE_FILE_H_
#define VXSROM_ROM_IMAGE_FILE_H_

#include <stdint.h>

#include <memory>
#include <string>

#include "device/exit_codes.h"
#include "platform/output_file.h"

namespace rom {

struct RomJob;

/// An action's output file, held until the action's end step; empty until
/// opened.
typedef std::unique_ptr<platform::OutputFile> ImageFile;

/// Opens the pending output file for the job's image path; reports why
/// not.  @param output true for /fout's file, false for an image file.
/// @return kExitOk or kExitFile.
device::ExitCode OpenImageFile(RomJob& job, bool output, ImageFile* file);

/// Writes size bytes of data and puts the file in place; on failure
/// reports it and abandons the file.  @return kExitOk or kExitFile.
device::ExitCode FinishImageFile(RomJob& job, ImageFile* file, const uint8_t* data,
                                 uint32_t size);

}  // namespace rom

#endif  // VXSROM_ROM_IMAGE_FILE_H_
