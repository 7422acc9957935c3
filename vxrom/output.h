// Text helpers of vxrom: its reasons, and the program's own output on
// standard output.
#ifndef VXROM_TEXT_H_
#define VXROM_TEXT_H_

#include <string>

#include "device/controller_library.h"
#include "words/voice.h"

/// vxrom's reasons on standard error ("vxrom: ...").
const Console& VxromReasons();

/// Says utf8_text as one of vxrom's reasons on standard error.
void VxromReason(const std::string& utf8_text);

/// Writes text to standard output in the console's encoding: results
/// only, since the library's messages never go there.
void WriteResult(const std::string& utf8_text);

#endif  // VXROM_TEXT_H_
