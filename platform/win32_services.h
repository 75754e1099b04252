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
  std::unique_ptr<RegistryObject> OpenRegistry(std::string_view absolutePath) override;
  bool FileExists(std::string_view path) override;
  std::unique_ptr<OpenFileDialog> CreateOpenDialog() override;
  void ShowMessage(std::string_view text, std::string_view caption, std::uint32_t style) override;
  std::unique_ptr<ShellLink> CreateShellLink() override;
  OsVersionRecord QueryOsVersion() override;
  std::bitset<256> AnsiLeadBytes() override;
  std::u16string Widen(std::string_view bytes, unsigned codePage) override;
  std::string ModuleFileName() override;
  std::optional<std::string> SystemErrorText(std::uint32_t code) override;

 private:
  HWND ApplicationWindow();

  // Owns the file-open dialog; hidden, created the first time it is needed.
  UniqueWindow applicationWindow_;
};

std::unique_ptr<RegistryObject> OpenWin32Registry(std::string_view absolutePath);
std::unique_ptr<ShellLink> CreateWin32ShellLink();

}  // namespace platform
