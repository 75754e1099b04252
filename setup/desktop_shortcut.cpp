// Where the desktop is, and the shortcut saved there.
#include "setup/text_fields.h"
#include "setup/run_setup.h"
#include "setup/texts.h"

namespace setup {

void ReadDesktopFolder(RunState& state) {
  // Taken as stored: a REG_EXPAND_SZ stays unexpanded and a trailing
  // backslash stays, since the shell wrote it that way.
  state.DesktopFolder = state.Registry->ReadString(ShellFoldersSection, DesktopIdent, u"");
}

bool CreateDesktopShortcut(platform::SystemServices& system, const RunState& state) {
  // Without a desktop folder the path would be rooted at the current drive.
  if (state.DesktopFolder.empty()) return false;

  const auto link = system.CreateShellLink();
  link->SetArguments(TopMenuArguments);
  link->SetPath(state.BrowserPath);
  link->SetWorkingDirectory(FolderPart(state.BrowserPath));
  return link->Save(state.DesktopFolder + ShortcutFileName);
}

}  // namespace setup
