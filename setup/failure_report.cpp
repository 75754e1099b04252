#include "setup/failure_report.h"

#include <cstdint>

#include "setup/text_fields.h"
#include "setup/texts.h"

namespace setup {
namespace {

// The system's texts end in a full stop and a line break; the report adds
// its own full stop.
std::u16string TrimSystemText(std::u16string text) {
  while (!text.empty() && (text.back() <= u' ' || text.back() == u'.')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

std::u16string FailureKindName(platform::SystemFailure::Kind kind) {
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

std::u16string FailureMessage(platform::SystemServices& system, const platform::SystemFailure& failure) {
  using Kind = platform::SystemFailure::Kind;
  switch (failure.FailureKind) {
    case Kind::ComError: {
      if (auto text = system.SystemErrorText(failure.Code)) {
        std::u16string trimmed = TrimSystemText(std::move(*text));
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

std::u16string UncaughtFailureText(platform::SystemServices& system, std::u16string_view kindName,
                                   const void* place, std::u16string_view message) {
  const std::u16string module = FileNamePart(system.ModuleFileName());
  const std::u16string placeText = UpperHex(reinterpret_cast<std::uintptr_t>(place), 8);
  const bool needsStop = !message.empty() && message.back() != u'.';
  return FillFields(FailureFormat, {kindName, module, placeText, message, needsStop ? u"." : u""});
}

}  // namespace setup
