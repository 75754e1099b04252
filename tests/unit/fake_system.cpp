#include "fake_system.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "encoding.h"
#include "setup/text_fields.h"

namespace fake {
namespace {

using testing_encoding::U16;
using testing_encoding::U8;
using Kind = platform::SystemFailure::Kind;

const char kExplorer[] = "software\\microsoft\\windows\\currentversion\\explorer";
const char kShellFolders[] = "software\\microsoft\\windows\\currentversion\\explorer\\shell folders";

std::string Hex(std::uint32_t value) {
  return "0x" + U8(setup::UpperHex(value, 1));
}

std::string Join(const std::string& key, std::string_view sub) {
  return key.empty() ? Fold(sub) : key + "\\" + Fold(sub);
}

class FakeRegistry final : public platform::RegistryObject {
 public:
  FakeRegistry(FakeSystem& system, std::u16string_view absolutePath) : system_(system) {
    Open(absolutePath);
  }
  ~FakeRegistry() override { system_.Record("ReleaseRegistry"); }

  std::u16string ReadString(std::u16string_view section, std::u16string_view ident,
                            std::u16string_view fallback) override {
    system_.Record("ReadString " + U8(section) + " | " + U8(ident));
    const std::string key = Join(current_.value_or(""), U8(section));
    const auto found = system_.Keys.find(key);
    if (system_.KeysThatCannotOpen.count(key) || found == system_.Keys.end()) {
      return std::u16string(fallback);
    }
    const auto value = found->second.find(Fold(U8(ident)));
    if (value == found->second.end()) return std::u16string(fallback);
    if (system_.ValuesThatCannotRead.count(key + "\\" + Fold(U8(ident)))) {
      platform::RaiseFailure(Kind::RegistryUnreadable, std::u16string(ident));
    }
    return platform::RegistryValueText(ident, value->second.Type, value->second.Data);
  }

  bool OpenKey(std::u16string_view absolutePath) override {
    system_.Record("OpenKey " + U8(absolutePath));
    return Open(absolutePath);
  }

  void WriteBinary(std::u16string_view name, std::string_view data) override {
    system_.Record("WriteBinary " + U8(name) + " | " + std::to_string(data.size()) + " bytes");
    const std::string key = current_.value_or("");
    if (system_.KeysThatRefuseWrites.count(key)) {
      platform::RaiseFailure(Kind::RegistryWriteRefused, std::u16string(name));
    }
    system_.Keys[key][Fold(U8(name))] = RegValue{platform::kRegBinary, std::string(data)};
  }

  void CloseKey() override {
    system_.Record("CloseKey");
    current_.reset();
  }

 private:
  bool Open(std::u16string_view absolutePath) {
    const std::string key = Fold(U8(absolutePath));
    if (system_.KeysThatCannotOpen.count(key)) return false;
    system_.Keys[key];  // created when missing, as RegCreateKeyEx does
    current_ = key;
    return true;
  }

  FakeSystem& system_;
  std::optional<std::string> current_;
};

class FakeDialog final : public platform::OpenFileDialog {
 public:
  explicit FakeDialog(FakeSystem& system) : system_(system) {}
  ~FakeDialog() override { system_.Record("ReleaseOpenDialog"); }

  std::optional<std::u16string> Execute(const platform::OpenDialogSettings& settings) override {
    system_.Record("ExecuteOpenDialog");
    system_.DialogSettings = settings;
    if (!system_.DialogAnswer) return std::nullopt;
    return U16(*system_.DialogAnswer);
  }

 private:
  FakeSystem& system_;
};

class FakeLink final : public platform::ShellLink {
 public:
  explicit FakeLink(FakeSystem& system) : system_(system) {}
  ~FakeLink() override { system_.Record("ReleaseShellLink"); }

  void SetArguments(std::u16string_view arguments) override {
    system_.Record("SetArguments " + U8(arguments));
    link_.Arguments = arguments;
  }
  void SetPath(std::u16string_view path) override {
    system_.Record("SetPath " + U8(path));
    link_.Path = path;
  }
  void SetWorkingDirectory(std::u16string_view folder) override {
    system_.Record("SetWorkingDirectory " + U8(folder));
    link_.WorkingDirectory = folder;
  }
  bool Save(std::u16string_view path) override {
    const std::string utf8 = U8(path);
    system_.Record("Save " + utf8);
    system_.SavePaths.emplace_back(path);
    // The shell cannot create the file in a folder that does not exist.
    const std::size_t slash = utf8.rfind('\\');
    const std::string folder = slash == std::string::npos ? "" : utf8.substr(0, slash);
    if (!system_.Folders.count(Fold(folder))) return false;
    system_.Files.insert(Fold(utf8));
    system_.SavedLinks[utf8] = link_;
    return true;
  }

 private:
  FakeSystem& system_;
  SavedLink link_;
};

}  // namespace

std::string Fold(std::string_view text) {
  if (!text.empty() && text.front() == '\\') text.remove_prefix(1);
  std::string out(text);
  // ASCII only, as the folding must not touch the bytes of other characters.
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

FakeSystem::FakeSystem() {
  Folders.insert(Fold("C:\\Users\\taro\\Desktop"));
  Folders.insert(Fold("C:\\Program Files\\Internet Explorer"));
  Files.insert(Fold("C:\\Program Files\\Internet Explorer\\iexplore.exe"));
  Keys[kExplorer];
  SetDesktop("C:\\Users\\taro\\Desktop");
  SetVersion(6, 1, "Service Pack 1");
  ModulePath = "C:\\Users\\taro\\Downloads\\Lumidor Install for IE.exe";
}

void FakeSystem::SetDesktop(std::string_view utf8Path, std::uint32_t type) {
  SetDesktopData(testing_encoding::Utf16leBytes(utf8Path) + std::string(2, '\0'), type);
}

void FakeSystem::SetDesktopData(std::string data, std::uint32_t type) {
  Keys[kShellFolders][Fold("Desktop")] = RegValue{type, std::move(data)};
}

void FakeSystem::RemoveDesktopValue() { Keys[kShellFolders].erase(Fold("Desktop")); }

void FakeSystem::SetVersion(std::uint32_t major, std::uint32_t minor,
                            std::string_view servicePack) {
  Version = platform::OsVersionRecord{};
  Version.Succeeded = true;
  Version.MajorVersion = major;
  Version.MinorVersion = minor;
  std::memcpy(Version.CsdVersion.data(), servicePack.data(),
              std::min(servicePack.size(), Version.CsdVersion.size()));
}

const std::map<std::string, RegValue>* FakeSystem::Key(std::string_view path) const {
  const auto found = Keys.find(Fold(path));
  return found == Keys.end() ? nullptr : &found->second;
}

bool FakeSystem::StartCom() {
  Record("StartCom");
  return ComStartSucceeds;
}

void FakeSystem::StopCom() { Record("StopCom"); }

std::unique_ptr<platform::RegistryObject> FakeSystem::OpenRegistry(std::u16string_view absolutePath) {
  Record("OpenRegistry " + U8(absolutePath));
  return std::make_unique<FakeRegistry>(*this, absolutePath);
}

bool FakeSystem::FileExists(std::u16string_view path) {
  const std::string utf8 = U8(path);
  Record("FileExists " + utf8);
  return Files.count(Fold(utf8)) != 0;
}

std::unique_ptr<platform::OpenFileDialog> FakeSystem::CreateOpenDialog() {
  Record("CreateOpenDialog");
  return std::make_unique<FakeDialog>(*this);
}

void FakeSystem::ShowMessage(std::u16string_view text, std::u16string_view caption,
                             std::uint32_t style) {
  Record("ShowMessage " + U8(caption) + " | " + U8(text) + " | " + Hex(style));
  Messages.push_back(Message{std::u16string(text), std::u16string(caption), style});
}

std::unique_ptr<platform::ShellLink> FakeSystem::CreateShellLink() {
  Record("CreateShellLink");
  if (LinkCreationError) platform::RaiseFailure(Kind::ComError, {}, *LinkCreationError);
  if (!LinkHasShellLinkA || !LinkHasPersistFile) platform::RaiseFailure(Kind::InterfaceMissing);
  return std::make_unique<FakeLink>(*this);
}

platform::OsVersionRecord FakeSystem::QueryOsVersion() {
  Record("QueryOsVersion");
  return Version;
}

std::u16string FakeSystem::ModuleFileName() { return U16(ModulePath); }

std::optional<std::u16string> FakeSystem::SystemErrorText(std::uint32_t code) {
  const auto found = ErrorTexts.find(code);
  if (found == ErrorTexts.end()) return std::nullopt;
  return U16(found->second);
}

}  // namespace fake
