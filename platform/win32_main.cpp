// The process entry: runs the setup with the last-resort failure handler.
#include <windows.h>

#include <cstdlib>

#include "platform/dll_hardening.h"
#include "platform/last_resort.h"
#include "platform/win32_services.h"
#include "setup/run_setup.h"

// libstdc++'s default terminate handler prints a demangled message to a
// console this program does not have, and brings the whole demangler along.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything can load a DLL by name: the folder this program was
  // downloaded to must not supply one.
  const platform::DllSearchHardening dll_search = platform::HardenDllSearch();
  platform::Win32Services system;
  return platform::RunWithLastResort(system, &setup::RunSetup);
}
