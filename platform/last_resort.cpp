#include "platform/last_resort.h"

#include <exception>
#include <string>

#include "setup/failure_report.h"
#include "setup/text_fields.h"
#include "setup/texts.h"

namespace platform {
namespace {

void ShowUncaughtFailure(SystemServices& system, std::u16string_view kindName, const void* place,
                         std::u16string_view message) {
  system.ShowMessage(setup::UncaughtFailureText(system, kindName, place, message),
                     setup::FailureCaption, kMbTaskModal | kMbIconError);
}

}  // namespace

int RunWithLastResort(SystemServices& system, int (*run)(SystemServices&)) {
  // Each catch is reached only after `run` has unwound, so the registry and
  // every COM object it held are already released when the message shows.
  try {
    try {
      return run(system);
    } catch (const SystemFailure& failure) {
      ShowUncaughtFailure(system, setup::FailureKindName(failure.FailureKind), failure.Place,
                          setup::FailureMessage(system, failure));
    } catch (const std::exception& error) {
      ShowUncaughtFailure(system, setup::OtherErrorKindName, nullptr, setup::WidenAscii(error.what()));
    } catch (...) {
      ShowUncaughtFailure(system, setup::OtherErrorKindName, nullptr, u"");
    }
  } catch (...) {
    // Reporting failed too (out of memory, say): the exit code still tells.
  }
  return 1;
}

}  // namespace platform
