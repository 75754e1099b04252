// Keeps the DLLs that the program and the system's dialogs load by name after
// start-up out of the folder the program was started from: a setup program
// is run from a Downloads folder, and anything may have been saved there.
#pragma once

#include <array>
#include <cstddef>

#include "platform/win32_handles.h"

namespace platform {

enum class DllSearch {
  SystemOnly,       // later loads by name look in the system folder alone
  NoCurrentFolder,  // the current folder is out; the DLLs loaded late came from the system folder first
  Unchanged,        // the system offers neither call (older than XP SP1)
};

// What HardenDllSearch did. The DLLs it loaded ahead of time stay loaded for
// as long as this lives, which is the whole run.
// Nothing here allocates, so hardening cannot fail before the run starts.
constexpr std::size_t kPreloadedDllCount = 16;
using PreloadedDlls = std::array<UniqueModule, kPreloadedDllCount>;

struct DllSearchHardening {
  DllSearch search = DllSearch::Unchanged;
  PreloadedDlls preloaded;
};

// Call first thing in WinMain, before anything can load a DLL by name.
DllSearchHardening HardenDllSearch() noexcept;

// The steps of HardenDllSearch, one by one.

// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32), found at run time:
// Windows 8 and later, and 7 or Vista with KB2533623. False when it is missing
// or refuses.
bool RestrictDllSearchToSystem() noexcept;

// SetDllDirectoryW(L""), found at run time (XP SP1 and later): drops the
// current folder from the search. The program's own folder stays first.
bool DropCurrentFolderFromDllSearch() noexcept;

// Loads, by full path from the system folder, the DLLs that the file-open
// dialog, the message boxes and the shell link object load by name later on,
// so that those later loads find them already in memory instead of searching
// the program's folder. Names the system lacks are skipped.
PreloadedDlls PreloadSystemDlls() noexcept;

// Loads one DLL by full path from the system folder (its own imports come
// from there too); empty when the folder or the DLL cannot be had. For DLLs
// the program needs only now and then, so that they are loaded after the
// search is narrowed, and only when wanted.
UniqueModule LoadSystemDll(const wchar_t* name) noexcept;

}  // namespace platform
