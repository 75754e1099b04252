// The text of the message that the process shows for a failure that nothing
// else handled.
#pragma once

#include <string>
#include <string_view>

#include "platform/system_services.h"

namespace setup {

// The message for a system failure, as the user reads it.
std::u16string FailureMessage(platform::SystemServices& system, const platform::SystemFailure& failure);
std::u16string FailureKindName(platform::SystemFailure::Kind kind);

// The whole text of the message box: what kind of failure, in which module
// and where, and its message.
std::u16string UncaughtFailureText(platform::SystemServices& system, std::u16string_view kindName,
                                   const void* place, std::u16string_view message);

}  // namespace setup
