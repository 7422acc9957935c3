// Output files of /dump, /write /fout and /imagegen.  An image appears at
// its path only once it is complete: a failed write leaves neither a
// truncated image nor a destroyed earlier file.
#ifndef VXSROM_ROM_IMAGE_FILE_H_
#define VXSROM_ROM_IMAGE_FILE_H_

#include <stdint.h>

#include <string>

#include "platform/platform.h"

struct RomJob;

/// Opens the pending output file for the job's image path; reports why
/// not.  @param output true for /fout's file, false for an image file.
/// @return 0 or -12.
int OpenImageFile(RomJob& job, bool output, platform::OutputFile* file);

/// Writes size bytes of data and puts the file in place; on failure
/// reports it and abandons the file.  @return 0 or -12.
int FinishImageFile(RomJob& job, platform::OutputFile* file,
                    const uint8_t* data, uint32_t size);

#endif  // VXSROM_ROM_IMAGE_FILE_H_
