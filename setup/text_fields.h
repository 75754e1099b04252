// Small text helpers for paths and messages, on UTF-16 code units. A path
// separator is always a code unit of its own in UTF-16, so no character can
// hide one.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace setup {

// `path` up to and including its last '\\' or ':' (empty when it has none).
std::u16string FolderPart(std::u16string_view path);
// What follows FolderPart.
std::u16string FileNamePart(std::u16string_view path);

// Replaces each conversion of `format` (%s, %p, %.8x and the like) with the
// next of `fields`, in order; "%%" stands for '%'. The fields are already
// text: formatting numbers is the caller's choice.
std::u16string FillFields(std::u16string_view format,
                          std::initializer_list<std::u16string_view> fields);

// `value` in upper-case hexadecimal, at least `minDigits` digits.
std::u16string UpperHex(std::uint64_t value, int minDigits);

// ASCII text (a C++ run-time message, say) as UTF-16; any other byte shows as
// U+FFFD, since its code page is unknown.
std::u16string WidenAscii(std::string_view text);

}  // namespace setup
