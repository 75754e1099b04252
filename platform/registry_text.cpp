#include "platform/registry_text.h"

#include "platform/system_services.h"

namespace platform {

std::u16string RegistryValueText(std::u16string_view name, std::uint32_t type, std::string_view data) {
  if (data.empty()) return {};
  if (type != kRegSz && type != kRegExpandSz) {
    RaiseFailure(SystemFailure::Kind::RegistryBadType, std::u16string(name));
  }
  std::u16string text;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(data[i]) |
                                            static_cast<unsigned char>(data[i + 1]) << 8);
    if (unit == u'\0') break;
    text += unit;
  }
  return text;
}

}  // namespace platform
