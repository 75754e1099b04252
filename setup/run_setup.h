// The whole run of the setup program, from start-up to its exit code.
#pragma once

#include <memory>
#include <string>

#include "platform/system_services.h"

namespace setup {

// What the steps share. Texts are UTF-16.
struct RunState {
  // Opened on ExplorerKey at the start, released at the end of the run.
  std::unique_ptr<platform::RegistryObject> Registry;
  std::u16string DesktopFolder;  // as the registry gives it; may be empty
  std::u16string BrowserPath;
};

// Runs every step in order and returns the exit code: 0 when the run
// completed or the user cancelled the browser chooser, 1 when the shortcut
// could not be saved. Hard system failures propagate as SystemFailure.
int RunSetup(platform::SystemServices& system);

// The steps, in the order RunSetup calls them.
void ReadDesktopFolder(RunState& state);
// False when the user cancelled the chooser (the error message is shown).
bool LocateBrowser(platform::SystemServices& system, RunState& state);
// True when the shortcut was saved.
bool CreateDesktopShortcut(platform::SystemServices& system, const RunState& state);
bool IsXpSp2OrLater(platform::SystemServices& system);
void AllowServicePopups(RunState& state);

}  // namespace setup
