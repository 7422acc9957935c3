// Text helpers of vxrom: UTF-8 and wide text, addresses as the operator
// types them, and the program's own output on standard output.
#ifndef VXROM_TEXT_H_
#define VXROM_TEXT_H_

#include <string>

#include "app/console.h"
#include "device/controller_library.h"

/// Wide form of UTF-8 text; a byte that starts no character becomes
/// U+FFFD.  The command-line parser works in UTF-8, the library and the
/// console in wide text.
std::wstring WideFromUtf8(const std::string& text);

/// vxrom's reasons on standard error ("vxrom: ...").
const Console& VxromReasons();

/// Writes text to standard output in the console's encoding: results
/// only, since the library's messages never go there.
void WriteResult(const std::string& utf8_text);

#endif  // VXROM_TEXT_H_
