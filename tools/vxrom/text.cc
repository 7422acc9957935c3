#include "vxrom/text.h"

#include <stdint.h>
#include <stdio.h>

#include "platform/platform.h"

namespace {

void AppendWide(uint32_t code, std::wstring* out) {
  if (sizeof(wchar_t) == 2 && code >= 0x10000) {
    // UTF-16: a surrogate pair.
    code -= 0x10000;
    out->push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
    out->push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
  } else {
    out->push_back(static_cast<wchar_t>(code));
  }
}

}  // namespace

std::wstring WideFromUtf8(const std::string& text) {
  std::wstring out;
  size_t i = 0;
  while (i < text.size()) {
    const uint8_t lead = static_cast<uint8_t>(text[i]);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 0;
    uint32_t code = length == 1   ? lead
                    : length == 2 ? (lead & 0x1Fu)
                    : length == 3 ? (lead & 0x0Fu)
                                  : (lead & 0x07u);
    bool valid = length != 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const uint8_t next = static_cast<uint8_t>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3Fu);
    }
    // Overlong forms, surrogates and values past U+10FFFF are no
    // characters either.
    static const uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (valid && (code < kSmallest[length] || code > 0x10FFFF ||
                  (code >= 0xD800 && code <= 0xDFFF)))
      valid = false;
    if (!valid) {
      out.push_back(static_cast<wchar_t>(0xFFFD));
      ++i;
      continue;
    }
    AppendWide(code, &out);
    i += length;
  }
  return out;
}

const Console& VxromReasons() {
  static const Console console(nullptr, L"vxrom");
  return console;
}

void WriteResult(const std::string& utf8_text) {
  platform::WriteConsoleText(stdout, WideFromUtf8(utf8_text));
  fflush(stdout);
}
