// Internet Explorer's per-user pop-up allow list, which exists from XP SP2 on.
#include <algorithm>
#include <string_view>

#include "setup/run_setup.h"
#include "setup/texts.h"

namespace setup {

bool IsXpSp2OrLater(platform::SystemServices& system) {
  const platform::OsVersionRecord version = system.QueryOsVersion();
  if (!version.Succeeded) return false;
  if (version.MajorVersion != 5 || version.MinorVersion != 1) return false;

  const auto& csd = version.CsdVersion;
  const auto end = std::find(csd.begin(), csd.end(), '\0');  // the text need not end in a zero
  const std::string_view servicePack(csd.data(), static_cast<std::size_t>(end - csd.begin()));
  if (servicePack.find(ServicePackText) == std::string_view::npos) return false;
  return servicePack.find(ServicePack1Text) == std::string_view::npos;
}

void AllowServicePopups(RunState& state) {
  if (!state.Registry->OpenKey(PopupAllowKey)) return;
  state.Registry->WriteBinary(ServiceHost, {});
  state.Registry->CloseKey();
}

}  // namespace setup
