// How a registry value's raw data is taken as text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// The text that value `name` of `type` holds in `data`, exactly as many bytes
// as the registry returned (UTF-16LE). No data: empty text, whatever the type.
// REG_SZ and REG_EXPAND_SZ: the code units up to the first zero one, or all of
// them when none is stored; an odd last byte, half a code unit, is dropped;
// references are not expanded. Any other type raises.
std::u16string RegistryValueText(std::u16string_view name, std::uint32_t type, std::string_view data);

}  // namespace platform
