// Conversions between UTF-8 (how the tests are written) and the code pages
// the program speaks, through the C library's iconv.
#pragma once

#include <string>
#include <string_view>

namespace testing_encoding {

// `bytes` in code page `codePage` (932, 1252, ...) as UTF-8; bytes that do not
// decode appear as \xNN so that a corrupted text is visible in a failure.
std::string ToUtf8(std::string_view bytes, unsigned codePage);
// UTF-8 as bytes of `codePage`; throws when a character has no form there.
std::string FromUtf8(std::string_view utf8, unsigned codePage);

std::u16string Utf16FromBytes(std::string_view bytes, unsigned codePage);
std::string Utf8FromUtf16(const std::u16string& text);

// Shorthand for the texts of this program: UTF-8 in, code page 932 bytes out.
inline std::string Sjis(std::string_view utf8) { return FromUtf8(utf8, 932); }

}  // namespace testing_encoding
