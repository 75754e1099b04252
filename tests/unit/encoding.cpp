#include "encoding.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>
#include <string>

namespace testing_encoding {
namespace {

std::string CharsetName(unsigned codePage) { return "CP" + std::to_string(codePage); }

// Converts as far as it can; `stopped` tells where it could not go on.
std::string Convert(std::string_view input, const std::string& from, const std::string& to,
                    std::size_t* stopped) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no iconv for " + from);
  std::string out(input.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  *stopped = result == static_cast<std::size_t>(-1) ? input.size() - inLeft : input.size();
  return out;
}

}  // namespace

std::string FromUtf8(std::string_view utf8, unsigned codePage) {
  std::size_t stopped = 0;
  std::string out = Convert(utf8, "UTF-8", CharsetName(codePage), &stopped);
  if (stopped != utf8.size()) throw std::runtime_error("not representable: " + std::string(utf8));
  return out;
}

std::string Utf16leBytes(std::string_view utf8) {
  std::size_t stopped = 0;
  std::string raw = Convert(utf8, "UTF-8", "UTF-16LE", &stopped);
  if (stopped != utf8.size()) throw std::runtime_error("not UTF-8: " + std::string(utf8));
  return raw;
}

std::u16string Utf16FromUtf8(std::string_view utf8) {
  const std::string raw = Utf16leBytes(utf8);
  std::u16string out;
  for (std::size_t i = 0; i + 1 < raw.size(); i += 2) {
    out += static_cast<char16_t>(static_cast<unsigned char>(raw[i]) |
                                 static_cast<unsigned char>(raw[i + 1]) << 8);
  }
  return out;
}

std::string Utf8FromUtf16(std::u16string_view text) {
  std::string raw;
  for (char16_t c : text) {
    raw += static_cast<char>(c & 0xFF);
    raw += static_cast<char>(c >> 8);
  }
  std::size_t stopped = 0;
  std::string out = Convert(raw, "UTF-16LE", "UTF-8", &stopped);
  // A lone surrogate does not convert: show where, so a broken text is visible.
  if (stopped != raw.size()) out += "\\u{bad UTF-16}";
  return out;
}

}  // namespace testing_encoding
