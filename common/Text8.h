// Text8: the 8-bit text of audit records and the wire, and its conversion to
// and from UTF-8.
//
// Records hold Windows-1252 bytes, one byte per character. For display and
// JSON the bytes are shown as UTF-8; the five byte values that Windows-1252
// leaves undefined (81, 8D, 8F, 90, 9D) become U+0081, U+008D, U+008F, U+0090
// and U+009D, so every byte survives windows1252ToUtf8 followed by
// utf8ToWindows1252. The other direction is lossy: a character without a
// Windows-1252 form, and every byte of malformed UTF-8, becomes "?".
// Pure functions, no locale, no iconv.
#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// The Unicode code point of one Windows-1252 byte.
char32_t windows1252ToCodePoint(unsigned char byte);

// The Windows-1252 byte of a code point, or -1 when it has none.
int codePointToWindows1252(char32_t codePoint);

// Appends the UTF-8 form of a code point below U+10000 (all that Windows-1252 reaches).
void appendUtf8(std::string& out, char32_t codePoint);
// Appends the UTF-8 form of one Windows-1252 byte.
void appendUtf8(std::string& out, unsigned char windows1252);

std::string windows1252ToUtf8(std::string_view bytes);
std::string utf8ToWindows1252(std::string_view utf8);

}  // namespace quorvane
