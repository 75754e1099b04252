// The shell's link object, which writes .lnk files in the shell's own format.
#include <shlobj.h>

#include <string>

#include "platform/win32_services.h"

namespace platform {
namespace {

class Win32ShellLink final : public ShellLink {
 public:
  Win32ShellLink(ComPtr<IShellLinkW> link, ComPtr<IPersistFile> file)
      : link_(std::move(link)), file_(std::move(file)) {}

  void SetArguments(std::u16string_view arguments) override {
    link_.get()->SetArguments(Wide(std::u16string(arguments)));
  }
  void SetPath(std::u16string_view path) override { link_.get()->SetPath(Wide(std::u16string(path))); }
  void SetWorkingDirectory(std::u16string_view folder) override {
    link_.get()->SetWorkingDirectory(Wide(std::u16string(folder)));
  }
  bool Save(std::u16string_view path) override {
    return SUCCEEDED(file_.get()->Save(Wide(std::u16string(path)), FALSE));
  }

 private:
  // Released in reverse order: the file view first, then the link view.
  ComPtr<IShellLinkW> link_;
  ComPtr<IPersistFile> file_;
};

}  // namespace

std::unique_ptr<ShellLink> CreateWin32ShellLink() {
  ComPtr<IUnknown> object;
  const HRESULT created =
      CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                       IID_IUnknown, reinterpret_cast<void**>(object.put()));
  if (FAILED(created)) RaiseFailure(SystemFailure::Kind::ComError, {}, static_cast<std::uint32_t>(created));

  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (FAILED(object.get()->QueryInterface(IID_IShellLinkW, reinterpret_cast<void**>(link.put()))) ||
      FAILED(object.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())))) {
    RaiseFailure(SystemFailure::Kind::InterfaceMissing);
  }
  return std::make_unique<Win32ShellLink>(std::move(link), std::move(file));
}

}  // namespace platform
