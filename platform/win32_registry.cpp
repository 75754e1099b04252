// The registry object: HKEY_CURRENT_USER and at most one open current key.
#include <string>
#include <vector>

#include "platform/registry_text.h"
#include "platform/win32_services.h"

namespace platform {
namespace {

using Kind = SystemFailure::Kind;

// Key paths are written absolute ("\Software\..."); the API wants them relative.
std::u16string RelativeKeyPath(std::u16string_view path) {
  if (!path.empty() && path.front() == u'\\') path.remove_prefix(1);
  return std::u16string(path);
}

class Win32Registry final : public RegistryObject {
 public:
  explicit Win32Registry(std::u16string_view absolutePath) { OpenKey(absolutePath); }

  std::u16string ReadString(std::u16string_view section, std::u16string_view ident,
                            std::u16string_view fallback) override {
    UniqueRegKey sectionKey;
    if (RegOpenKeyExW(Current(), Wide(std::u16string(section)), 0, KEY_ALL_ACCESS,
                      sectionKey.put()) != ERROR_SUCCESS) {
      return std::u16string(fallback);
    }
    const std::u16string name(ident);
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExW(sectionKey.get(), Wide(name), nullptr, &type, nullptr, &size);
    if (result == ERROR_FILE_NOT_FOUND) return std::u16string(fallback);
    if (result != ERROR_SUCCESS) RaiseFailure(Kind::RegistryUnreadable, name);

    // The value may grow between the two queries; ask again a few times.
    // The data is read as the bytes it is, with no terminator assumed.
    std::vector<char> data;
    for (int attempt = 0;; ++attempt) {
      data.resize(size);
      DWORD got = size;
      result = RegQueryValueExW(sectionKey.get(), Wide(name), nullptr, &type,
                                reinterpret_cast<BYTE*>(data.data()), &got);
      if (result == ERROR_MORE_DATA && attempt < 8) {
        size = got > size ? got : size * 2;
        continue;
      }
      if (result != ERROR_SUCCESS) RaiseFailure(Kind::RegistryUnreadable, name);
      return RegistryValueText(name, type, std::string_view(data.data(), got < size ? got : size));
    }
  }

  bool OpenKey(std::u16string_view absolutePath) override {
    UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, Wide(RelativeKeyPath(absolutePath)), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
      return false;
    }
    current_ = std::move(key);
    return true;
  }

  void WriteBinary(std::u16string_view name, std::string_view data) override {
    const std::u16string valueName(name);
    const auto* bytes = reinterpret_cast<const BYTE*>(data.empty() ? nullptr : data.data());
    if (RegSetValueExW(Current(), Wide(valueName), 0, REG_BINARY, bytes,
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

std::unique_ptr<RegistryObject> OpenWin32Registry(std::u16string_view absolutePath) {
  return std::make_unique<Win32Registry>(absolutePath);
}

}  // namespace platform
