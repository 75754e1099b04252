#include "platform/system_services.h"

namespace platform {

// Kept out of line so that the return address names the place that raised.
__attribute__((noinline)) void RaiseFailure(SystemFailure::Kind kind, std::u16string subject,
                                            std::uint32_t code) {
  throw SystemFailure{kind, std::move(subject), code, __builtin_return_address(0)};
}

}  // namespace platform
