#include "setup/run_setup.h"

#include "setup/texts.h"

namespace setup {
namespace {

// COM for this thread, undone on every way out, but only if it started.
class ComScope {
 public:
  explicit ComScope(platform::SystemServices& system)
      : system_(system), started_(system.StartCom()) {}
  ~ComScope() {
    if (started_) system_.StopCom();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  platform::SystemServices& system_;
  bool started_;
};

}  // namespace

int RunSetup(platform::SystemServices& system) {
  const ComScope com(system);
  RunState state;
  state.Registry = system.OpenRegistry(ExplorerKey);

  ReadDesktopFolder(state);
  if (!LocateBrowser(system, state)) return 0;
  const bool saved = CreateDesktopShortcut(system, state);
  if (IsXpSp2OrLater(system)) AllowServicePopups(state);

  // A run that saved no shortcut did not do its main job: say so, and let
  // whoever started it see a failing exit code.
  if (!saved) {
    system.ShowMessage(ShortcutFailedText, ErrorCaption, platform::kMbOk | platform::kMbIconError);
    return 1;
  }
  system.ShowMessage(DoneText, DoneCaption, platform::kMbOk | platform::kMbIconInformation);
  return 0;
}

}  // namespace setup
