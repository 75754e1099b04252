#include "platform/registry_text.h"

#include "platform/system_services.h"

namespace platform {

std::string RegistryValueText(std::string_view name, std::uint32_t type, std::string_view data) {
  if (data.empty()) return {};
  if (type != kRegSz && type != kRegExpandSz) {
    RaiseFailure(SystemFailure::Kind::RegistryBadType, std::string(name));
  }
  return std::string(data.substr(0, data.find('\0')));
}

}  // namespace platform
