// SystemServices on real Windows (or Wine).
#pragma once

#include <windows.h>

#include "platform/system_services.h"
#include "platform/win32_handles.h"

namespace platform {

class Win32Services final : public SystemServices {
 public:
  bool StartCom() override;
  void StopCom() override;
  std::unique_ptr<RegistryObject> OpenRegistry(std::u16string_view absolutePath) override;
  bool FileExists(std::u16string_view path) override;
  std::unique_ptr<OpenFileDialog> CreateOpenDialog() override;
  void ShowMessage(std::u16string_view text, std::u16string_view caption, std::uint32_t style) override;
  std::unique_ptr<ShellLink> CreateShellLink() override;
  OsVersionRecord QueryOsVersion() override;
  std::u16string ModuleFileName() override;
  std::optional<std::u16string> SystemErrorText(std::uint32_t code) override;

 private:
  HWND ApplicationWindow();

  // Owns the file-open dialog; hidden, created the first time it is needed.
  UniqueWindow applicationWindow_;
};

std::unique_ptr<RegistryObject> OpenWin32Registry(std::u16string_view absolutePath);

// UTF-16 text as the W calls take it: wchar_t is a UTF-16 code unit on Windows.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
std::unique_ptr<ShellLink> CreateWin32ShellLink();

}  // namespace platform
