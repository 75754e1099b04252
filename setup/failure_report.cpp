#include "setup/failure_report.h"

#include <cstdint>

#include "setup/ansi_text.h"
#include "setup/texts.h"

namespace setup {
namespace {

// The system's texts end in a full stop and a line break; the report adds
// its own full stop.
std::string TrimSystemText(std::string text) {
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

std::string FailureKindName(platform::SystemFailure::Kind kind) {
  using Kind = platform::SystemFailure::Kind;
  switch (kind) {
    case Kind::ComError: return ComErrorKindName;
    case Kind::InterfaceMissing: return InterfaceErrorKindName;
    case Kind::RegistryBadType:
    case Kind::RegistryUnreadable:
    case Kind::RegistryWriteRefused: return RegistryErrorKindName;
  }
  return OtherErrorKindName;
}

std::string FailureMessage(platform::SystemServices& system, const platform::SystemFailure& failure) {
  using Kind = platform::SystemFailure::Kind;
  switch (failure.FailureKind) {
    case Kind::ComError: {
      if (auto text = system.SystemErrorText(failure.Code)) {
        std::string trimmed = TrimSystemText(std::move(*text));
        if (!trimmed.empty()) return trimmed;
      }
      return FillFields(OleErrorFormat, {UpperHex(failure.Code, 8)});
    }
    case Kind::InterfaceMissing: return InterfaceMissingText;
    case Kind::RegistryBadType: return FillFields(BadDataTypeFormat, {failure.Subject});
    case Kind::RegistryUnreadable: return FillFields(ReadFailedFormat, {failure.Subject});
    case Kind::RegistryWriteRefused: return FillFields(WriteFailedFormat, {failure.Subject});
  }
  return {};
}

std::string UncaughtFailureText(platform::SystemServices& system, std::string_view kindName,
                                const void* place, std::string_view message) {
  const std::string module = FileNamePart(system.ModuleFileName(), system.AnsiLeadBytes());
  const std::string placeText = UpperHex(reinterpret_cast<std::uintptr_t>(place), 8);
  const bool needsStop = !message.empty() && message.back() != '.';
  return FillFields(FailureFormat, {kindName, module, placeText, message, needsStop ? "." : ""});
}

}  // namespace setup
