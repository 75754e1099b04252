#include "setup/ansi_text.h"

#include <cctype>

namespace setup {
namespace {

// Index of the last separator that is a character of its own, or npos.
std::size_t LastSeparator(std::string_view path, const LeadBytes& leadBytes) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto byte = static_cast<unsigned char>(path[i]);
    if (leadBytes[byte] && i + 1 < path.size()) {
      ++i;  // skip the trail byte, whatever its value
    } else if (byte == '\\' || byte == ':') {
      last = i;
    }
  }
  return last;
}

}  // namespace

LeadBytes Cp932LeadBytes() {
  LeadBytes lead;
  for (int b = 0x81; b <= 0x9F; ++b) lead.set(b);
  for (int b = 0xE0; b <= 0xFC; ++b) lead.set(b);
  return lead;
}

std::string FolderPart(std::string_view path, const LeadBytes& leadBytes) {
  const std::size_t last = LastSeparator(path, leadBytes);
  return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

std::string FileNamePart(std::string_view path, const LeadBytes& leadBytes) {
  const std::size_t last = LastSeparator(path, leadBytes);
  return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::string FillFields(std::string_view format, std::initializer_list<std::string_view> fields) {
  std::string out;
  auto next = fields.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    std::size_t j = i + 1;
    if (j < format.size() && format[j] == '%') {
      out += '%';
      i = j;
      continue;
    }
    // Flags, width and precision up to the conversion letter.
    while (j < format.size() && !std::isalpha(static_cast<unsigned char>(format[j]))) ++j;
    if (next != fields.end()) out += *next++;
    i = j;
  }
  return out;
}

std::string UpperHex(std::uint64_t value, int minDigits) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), digits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (static_cast<int>(out.size()) < minDigits) out.insert(0, minDigits - out.size(), '0');
  return out;
}

}  // namespace setup
