// Where the desktop is, and the shortcut saved there.
#include "setup/ansi_text.h"
#include "setup/run_setup.h"
#include "setup/texts.h"

namespace setup {

void ReadDesktopFolder(RunState& state) {
  // Taken as stored: a REG_EXPAND_SZ stays unexpanded and a trailing
  // backslash stays, since the shell wrote it that way.
  state.DesktopFolder = state.Registry->ReadString(ShellFoldersSection, DesktopIdent, "");
}

bool CreateDesktopShortcut(platform::SystemServices& system, const RunState& state) {
  // Without a desktop folder the path would be rooted at the current drive.
  if (state.DesktopFolder.empty()) return false;

  const auto link = system.CreateShellLink();
  link->SetArguments(TopMenuArguments);
  link->SetPath(state.BrowserPath);
  link->SetWorkingDirectory(FolderPart(state.BrowserPath, system.AnsiLeadBytes()));

  // The folder came from an ANSI registry read; the file name is ours, in
  // code page 932. Converting each with its own code page names the file
  // right on every system, Japanese or not.
  const std::u16string path = system.Widen(state.DesktopFolder, platform::kAnsiCodePage) +
                              system.Widen(ShortcutFileName, platform::kJapaneseCodePage);
  return link->Save(path);
}

}  // namespace setup
