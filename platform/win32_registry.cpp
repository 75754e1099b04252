// The registry object: HKEY_CURRENT_USER and at most one open current key.
#include <string>

#include "platform/registry_text.h"
#include "platform/win32_services.h"

namespace platform {
namespace {

using Kind = SystemFailure::Kind;

// Key paths are written absolute ("\Software\..."); the API wants them relative.
std::string RelativeKeyPath(std::string_view path) {
  if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  return std::string(path);
}

class Win32Registry final : public RegistryObject {
 public:
  explicit Win32Registry(std::string_view absolutePath) { OpenKey(absolutePath); }

  std::string ReadString(std::string_view section, std::string_view ident,
                         std::string_view fallback) override {
    UniqueRegKey sectionKey;
    if (RegOpenKeyExA(Current(), std::string(section).c_str(), 0, KEY_ALL_ACCESS,
                      sectionKey.put()) != ERROR_SUCCESS) {
      return std::string(fallback);
    }
    const std::string name(ident);
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExA(sectionKey.get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (result == ERROR_FILE_NOT_FOUND) return std::string(fallback);
    if (result != ERROR_SUCCESS) RaiseFailure(Kind::RegistryUnreadable, name);

    // The value may grow between the two queries; ask again a few times.
    std::string data;
    for (int attempt = 0;; ++attempt) {
      data.resize(size);
      DWORD got = size;
      result = RegQueryValueExA(sectionKey.get(), name.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(data.data()), &got);
      if (result == ERROR_MORE_DATA && attempt < 8) {
        size = got > size ? got : size * 2;
        continue;
      }
      if (result != ERROR_SUCCESS) RaiseFailure(Kind::RegistryUnreadable, name);
      data.resize(got);
      return RegistryValueText(name, type, data);
    }
  }

  bool OpenKey(std::string_view absolutePath) override {
    UniqueRegKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, RelativeKeyPath(absolutePath).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
      return false;
    }
    current_ = std::move(key);
    return true;
  }

  void WriteBinary(std::string_view name, std::string_view data) override {
    const std::string valueName(name);
    const auto* bytes = reinterpret_cast<const BYTE*>(data.empty() ? nullptr : data.data());
    if (RegSetValueExA(Current(), valueName.c_str(), 0, REG_BINARY, bytes,
                       static_cast<DWORD>(data.size())) != ERROR_SUCCESS) {
      RaiseFailure(Kind::RegistryWriteRefused, valueName);
    }
  }

  void CloseKey() override { current_.reset(); }

 private:
  HKEY Current() const { return current_ ? current_.get() : HKEY_CURRENT_USER; }

  UniqueRegKey current_;
};

}  // namespace

std::unique_ptr<RegistryObject> OpenWin32Registry(std::string_view absolutePath) {
  return std::make_unique<Win32Registry>(absolutePath);
}

}  // namespace platform
