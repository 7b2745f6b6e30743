#include "shell/files/quoting.h"

namespace {

void AppendEscaped(std::string& out, unsigned char byte) {
  switch (byte) {
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    default:
      break;
  }
  constexpr char kHexDigits[] = "0123456789abcdef";
  out += "\\x";
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0xf];
}

bool IsContinuation(unsigned char byte) { return (byte & 0xc0) == 0x80; }

// The length of the printable UTF-8 character at the start of `text`, or 0
// when its first byte starts none: a control character, a C1 control
// character (U+0080 to U+009F), a stray or overlong byte sequence, a
// surrogate or a code point above U+10FFFF.
size_t PrintableCharacterLength(std::string_view text) {
  const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x20 || lead == 0x7f) return 0;
  if (lead < 0x80) return 1;
  size_t length = 0;
  char32_t codePoint = 0;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
    codePoint = lead & 0x1f;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    codePoint = lead & 0x0f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if (!IsContinuation(byte(i))) return 0;
    codePoint = (codePoint << 6) | (byte(i) & 0x3f);
  }
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (codePoint < kSmallest[length] || codePoint > 0x10ffff) return 0;
  if (codePoint >= 0xd800 && codePoint <= 0xdfff) return 0;
  if (codePoint <= 0x9f) return 0;  // C1 control characters
  return length;
}

}  // namespace

std::string Quoted(std::string_view text) {
  std::string out = "'";
  while (!text.empty()) {
    const size_t length = PrintableCharacterLength(text);
    if (length == 0) {
      AppendEscaped(out, static_cast<unsigned char>(text.front()));
      text.remove_prefix(1);
      continue;
    }
    out.append(text.substr(0, length));
    text.remove_prefix(length);
  }
  return out + "'";
}
