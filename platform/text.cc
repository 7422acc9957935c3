// Conversion between wide text, UTF-16 and UTF-8, the same on both
// platforms: one decoder and one encoder for every form.
#include "platform/text.h"

#include <stdint.h>

#include <string>

namespace {

/// Appends one character to UTF-16 or UTF-32 text, as its unit's size
/// says.
template <typename Unit>
void AppendUnits(uint32_t code, std::basic_string<Unit>* out) {
  if (sizeof(Unit) == 2 && code >= 0x10000) {
    // UTF-16: a surrogate pair.
    code -= 0x10000;
    out->push_back(static_cast<Unit>(0xD800 + (code >> 10)));
    out->push_back(static_cast<Unit>(0xDC00 + (code & 0x3FF)));
  } else {
    out->push_back(static_cast<Unit>(code));
  }
}

/// The character of UTF-8 text at *i, *i moved past it; a byte that
/// starts no character (a lead without its continuation, an overlong
/// form, a surrogate, a value past U+10FFFF) is U+FFFD, one byte long.
uint32_t DecodeUtf8(const std::string& text, size_t* i) {
  const uint8_t lead = static_cast<uint8_t>(text[*i]);
  const size_t length = lead < 0x80           ? 1
                        : (lead >> 5) == 0x6  ? 2
                        : (lead >> 4) == 0xE  ? 3
                        : (lead >> 3) == 0x1E ? 4
                                              : 0;
  uint32_t code = length == 1   ? lead
                  : length == 2 ? (lead & 0x1Fu)
                  : length == 3 ? (lead & 0x0Fu)
                                : (lead & 0x07u);
  bool valid = length != 0 && *i + length <= text.size();
  for (size_t k = 1; valid && k < length; ++k) {
    const uint8_t next = static_cast<uint8_t>(text[*i + k]);
    valid = (next & 0xC0) == 0x80;
    code = (code << 6) | (next & 0x3Fu);
  }
  static const uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (valid && (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)))
    valid = false;
  *i += valid ? length : 1;
  return valid ? code : 0xFFFD;
}

/// UTF-16 or UTF-32 text from UTF-8.
template <typename Unit>
std::basic_string<Unit> UnitsFromUtf8(const std::string& text) {
  std::basic_string<Unit> out;
  for (size_t i = 0; i < text.size();) AppendUnits(DecodeUtf8(text, &i), &out);
  return out;
}

/// UTF-8 from UTF-16 or UTF-32 units; what is no character (a lone
/// surrogate, a value past U+10FFFF) becomes U+FFFD.
template <typename Unit>
std::string Utf8FromUnits(const Unit* text, size_t length) {
  std::string bytes;
  for (size_t i = 0; i < length; ++i) {
    uint32_t c = static_cast<uint32_t>(text[i]);
    // Where a unit is 16 bits wide, a pair of surrogates is one character.
    if (sizeof(Unit) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < length) {
      const uint32_t low = static_cast<uint32_t>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
    if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else if (c < 0x800) {
      bytes += static_cast<char>(0xC0 | (c >> 6));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      bytes += static_cast<char>(0xE0 | (c >> 12));
      bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      bytes += static_cast<char>(0xF0 | (c >> 18));
      bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return bytes;
}

}  // namespace

namespace platform {

std::string Utf8FromWide(const std::wstring& text) { return Utf8FromUnits(text.data(), text.size()); }

std::wstring WideFromUtf8(const std::string& text) { return UnitsFromUtf8<wchar_t>(text); }

std::string Utf8FromUtf16(const char16_t* text, size_t length) { return Utf8FromUnits(text, length); }

std::u16string Utf16FromUtf8(const std::string& text) { return UnitsFromUtf8<char16_t>(text); }

bool IsUtf8(const std::string& text) {
  // Every malformed byte becomes U+FFFD, whose UTF-8 differs from it.
  return Utf8FromWide(WideFromUtf8(text)) == text;
}

}  // namespace platform
