// Byte-string helpers that respect double-byte characters: in code page 932
// the second byte of a character may be 0x5C ('\\'), as in 表, and must not
// be taken for a separator.
#pragma once

#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace setup {

using LeadBytes = std::bitset<256>;

// The lead bytes of code page 932.
LeadBytes Cp932LeadBytes();

// `path` up to and including its last '\\' or ':' (empty when it has none).
std::string FolderPart(std::string_view path, const LeadBytes& leadBytes);
// What follows FolderPart.
std::string FileNamePart(std::string_view path, const LeadBytes& leadBytes);

// Replaces each conversion of `format` (%s, %p, %.8x and the like) with the
// next of `fields`, in order; "%%" stands for '%'. The fields are already
// text: formatting numbers is the caller's choice.
std::string FillFields(std::string_view format, std::initializer_list<std::string_view> fields);

// `value` in upper-case hexadecimal, at least `minDigits` digits.
std::string UpperHex(std::uint64_t value, int minDigits);

}  // namespace setup
