// The process-level handler for failures that nothing else caught.
#pragma once

#include "platform/system_services.h"

namespace platform {

// Calls `run` and returns its exit code. A failure that escapes it is shown in
// the uncaught-failure message, after everything `run` held is released, and
// the process then exits with code 1.
int RunWithLastResort(SystemServices& system, int (*run)(SystemServices&));

}  // namespace platform
