// Conversions between UTF-8 (how the tests are written), UTF-16 (what the
// program speaks) and other code pages, through the C library's iconv.
#pragma once

#include <string>
#include <string_view>

namespace testing_encoding {

// UTF-8 as bytes of `codePage`; throws when a character has no form there.
std::string FromUtf8(std::string_view utf8, unsigned codePage);

std::u16string Utf16FromUtf8(std::string_view utf8);
std::string Utf8FromUtf16(std::u16string_view text);

// Shorthands: what a test writes (UTF-8) and what the program speaks (UTF-16).
inline std::u16string U16(std::string_view utf8) { return Utf16FromUtf8(utf8); }
inline std::string U8(std::u16string_view text) { return Utf8FromUtf16(text); }

// The UTF-16LE bytes of a text, as the registry stores it (no terminator).
std::string Utf16leBytes(std::string_view utf8);

}  // namespace testing_encoding
