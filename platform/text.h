// Conversion between wide text (the program's, the library's paths) and
// UTF-8 (command lines parsed as bytes, logs, the simulator's files).
#ifndef VXSROM_PLATFORM_TEXT_H_
#define VXSROM_PLATFORM_TEXT_H_

#include <string>

namespace platform {

/// UTF-8 form of wide text (UTF-16 or UTF-32, as wchar_t holds it); what
/// is no character (a lone surrogate, a value past U+10FFFF) becomes
/// U+FFFD.
std::string Utf8FromWide(const std::wstring& text);

/// Wide form of UTF-8 text; a byte that starts no character becomes
/// U+FFFD.
std::wstring WideFromUtf8(const std::string& text);

/// UTF-8 form of length UTF-16 units (a database driver's text), as
/// Utf8FromWide.
std::string Utf8FromUtf16(const char16_t* text, size_t length);

/// UTF-16 form of UTF-8 text, as WideFromUtf8.
std::u16string Utf16FromUtf8(const std::string& text);

/// True when text is well-formed UTF-8 throughout.
bool IsUtf8(const std::string& text);

}  // namespace platform

#endif  // VXSROM_PLATFORM_TEXT_H_
