#include "platform/dll_hardening.h"

#include <windows.h>

#include <cwchar>

namespace platform {
namespace {

// Both calls are newer than the oldest Windows this program runs on, so they
// are looked up at run time: an import of either would stop the program from
// starting at all where it is missing.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryWFn = BOOL(WINAPI*)(LPCWSTR);

// DLLs outside the system's KnownDLLs list that a run can make Windows load by
// name after start-up: the visual styles and the desktop compositor (every
// window, message boxes included), the property system, shell, profile and
// setup helpers behind the file-open dialog and the shell link, the COM+
// catalogue behind CoCreateInstance, and the security helpers they pull in.
// The list follows what installers of long standing preload for the same
// reason; a name the running Windows lacks (dwmapi on XP, say) is skipped.
constexpr const wchar_t* kLateSystemDlls[kPreloadedDllCount] = {
    L"uxtheme.dll",  L"dwmapi.dll",   L"propsys.dll",  L"userenv.dll",
    L"profapi.dll",  L"setupapi.dll", L"apphelp.dll",  L"clbcatq.dll",
    L"oleacc.dll",   L"version.dll",  L"linkinfo.dll", L"ntshrui.dll",
    L"ntmarta.dll",  L"cryptbase.dll", L"sspicli.dll", L"secur32.dll",
};

FARPROC Kernel32Function(const char* name) {
  // kernel32 is mapped into every process before any of its code runs.
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  return kernel32 ? GetProcAddress(kernel32, name) : nullptr;
}

}  // namespace

bool RestrictDllSearchToSystem() noexcept {
  const auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(Kernel32Function("SetDefaultDllDirectories")));
  return set_default && set_default(kSearchSystem32);
}

bool DropCurrentFolderFromDllSearch() noexcept {
  const auto set_dll_directory = reinterpret_cast<SetDllDirectoryWFn>(
      reinterpret_cast<void*>(Kernel32Function("SetDllDirectoryW")));
  return set_dll_directory && set_dll_directory(L"");
}

UniqueModule LoadSystemDll(const wchar_t* name) noexcept {
  wchar_t path[MAX_PATH];
  const UINT folder_length = GetSystemDirectoryW(path, MAX_PATH);
  if (folder_length == 0 || folder_length + 1 + std::wcslen(name) >= MAX_PATH) return UniqueModule();
  path[folder_length] = L'\\';
  std::wcscpy(path + folder_length + 1, name);
  // The altered search path makes the DLL's own imports come from the
  // system folder too, not from the program's folder.
  return UniqueModule(LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

PreloadedDlls PreloadSystemDlls() noexcept {
  PreloadedDlls loaded;
  for (std::size_t i = 0; i < kPreloadedDllCount; ++i) loaded[i] = LoadSystemDll(kLateSystemDlls[i]);
  return loaded;
}

DllSearchHardening HardenDllSearch() noexcept {
  DllSearchHardening result;
  if (RestrictDllSearchToSystem()) {
    result.search = DllSearch::SystemOnly;
    return result;
  }
  // Without it the program's own folder is always searched first, so a DLL
  // saved next to the program would still win a later load by name; what is
  // already loaded wins over any search, hence the preloading.
  result.search = DropCurrentFolderFromDllSearch() ? DllSearch::NoCurrentFolder : DllSearch::Unchanged;
  result.preloaded = PreloadSystemDlls();
  return result;
}

}  // namespace platform
