// Finding the browser: its default path, or the user's pick.
#include <string>
#include <utility>

#include "setup/run_setup.h"
#include "setup/texts.h"

namespace setup {
namespace {

// The dialog takes its filter with each '|' as a zero, ending in two.
std::u16string DialogFilter(std::u16string filter) {
  for (char16_t& c : filter) {
    if (c == u'|') c = u'\0';
  }
  filter += u'\0';
  filter += u'\0';
  return filter;
}

platform::OpenDialogSettings BrowserDialogSettings() {
  platform::OpenDialogSettings settings;
  settings.OwnedByApplicationWindow = true;
  settings.Filter = DialogFilter(BrowserFilter);
  settings.FilterIndex = 1;
  settings.InitialDir = u"";  // the dialog's own default folder
  settings.Title = u"";       // the dialog's own title
  settings.MaxFile = 260 + 1;
  // The user may type a name that does not exist yet; it is taken as given.
  settings.Flags = platform::kOfnExplorer | platform::kOfnHideReadOnly | platform::kOfnEnableSizing;
  return settings;
}

}  // namespace

bool LocateBrowser(platform::SystemServices& system, RunState& state) {
  state.BrowserPath = DefaultBrowserPath;
  if (system.FileExists(state.BrowserPath)) return true;

  const auto dialog = system.CreateOpenDialog();
  if (auto chosen = dialog->Execute(BrowserDialogSettings())) {
    state.BrowserPath = std::move(*chosen);
    return true;
  }
  system.ShowMessage(ShortcutFailedText, ErrorCaption, platform::kMbOk | platform::kMbIconError);
  return false;
}

}  // namespace setup
