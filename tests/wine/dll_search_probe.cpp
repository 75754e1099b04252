// Loads uxtheme.dll by name after narrowing the DLL search one way or another,
// and prints the path of the module it got, so that the check under Wine can
// tell a DLL planted next to this program from the system's.
//
//     dll_search_probe.exe none|drop-current-folder|fallback|harden
//
// "fallback" is what the program does where SetDefaultDllDirectories is
// missing; "harden" is what it does on this system. Prints "search: <how>" for
// harden and "loaded: <path>" or "loaded: none (<error>)"; exit code 0 unless
// the mode is unknown.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/dll_hardening.h"
#include "platform/win32_handles.h"

namespace {

const char* SearchName(platform::DllSearch search) {
  switch (search) {
    case platform::DllSearch::SystemOnly: return "system-only";
    case platform::DllSearch::NoCurrentFolder: return "no-current-folder";
    case platform::DllSearch::Unchanged: return "unchanged";
  }
  return "?";
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc == 2 ? argv[1] : "";
  platform::DllSearchHardening hardening;
  if (std::strcmp(mode, "none") == 0) {
  } else if (std::strcmp(mode, "drop-current-folder") == 0) {
    std::printf("dropped: %d\n", platform::DropCurrentFolderFromDllSearch() ? 1 : 0);
  } else if (std::strcmp(mode, "fallback") == 0) {
    std::printf("dropped: %d\n", platform::DropCurrentFolderFromDllSearch() ? 1 : 0);
    hardening.preloaded = platform::PreloadSystemDlls();
  } else if (std::strcmp(mode, "harden") == 0) {
    hardening = platform::HardenDllSearch();
    std::printf("search: %s\n", SearchName(hardening.search));
  } else {
    std::printf("unknown mode \"%s\"\n", mode);
    return 2;
  }
  platform::UniqueModule theme(LoadLibraryW(L"uxtheme.dll"));
  if (!theme) {
    std::printf("loaded: none (%lu)\n", static_cast<unsigned long>(GetLastError()));
    return 0;
  }
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(theme.get(), path, MAX_PATH);
  std::printf("loaded: %ls\n", length ? path : L"?");
  return 0;
}
