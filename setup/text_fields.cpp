#include "setup/text_fields.h"

namespace setup {
namespace {

std::size_t LastSeparator(std::u16string_view path) { return path.find_last_of(u"\\:"); }

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

}  // namespace

std::u16string FolderPart(std::u16string_view path) {
  const std::size_t last = LastSeparator(path);
  return last == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, last + 1));
}

std::u16string FileNamePart(std::u16string_view path) {
  const std::size_t last = LastSeparator(path);
  return std::u16string(last == std::u16string_view::npos ? path : path.substr(last + 1));
}

std::u16string FillFields(std::u16string_view format,
                          std::initializer_list<std::u16string_view> fields) {
  std::u16string out;
  auto next = fields.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != u'%') {
      out += format[i];
      continue;
    }
    std::size_t j = i + 1;
    if (j < format.size() && format[j] == u'%') {
      out += u'%';
      i = j;
      continue;
    }
    // Flags, width and precision up to the conversion letter.
    while (j < format.size() && !IsAsciiLetter(format[j])) ++j;
    if (next != fields.end()) out += *next++;
    i = j;
  }
  return out;
}

std::u16string UpperHex(std::uint64_t value, int minDigits) {
  static const char16_t digits[] = u"0123456789ABCDEF";
  std::u16string out;
  do {
    out.insert(out.begin(), digits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (static_cast<int>(out.size()) < minDigits) out.insert(0, minDigits - out.size(), u'0');
  return out;
}

std::u16string WidenAscii(std::string_view text) {
  std::u16string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    out += byte < 0x80 ? static_cast<char16_t>(byte) : u'\uFFFD';
  }
  return out;
}

}  // namespace setup
