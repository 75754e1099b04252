#include "fake_system.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "encoding.h"
#include "setup/ansi_text.h"

namespace fake {
namespace {

using testing_encoding::ToUtf8;
using Kind = platform::SystemFailure::Kind;

const char kExplorer[] = "software\\microsoft\\windows\\currentversion\\explorer";
const char kShellFolders[] = "software\\microsoft\\windows\\currentversion\\explorer\\shell folders";

std::string Hex(std::uint32_t value) {
  return "0x" + setup::UpperHex(value, 1);
}

std::string Join(const std::string& key, std::string_view sub) {
  return key.empty() ? Fold(sub) : key + "\\" + Fold(sub);
}

class FakeRegistry final : public platform::RegistryObject {
 public:
  FakeRegistry(FakeSystem& system, std::string_view absolutePath) : system_(system) {
    Open(absolutePath);
  }
  ~FakeRegistry() override { system_.Record("ReleaseRegistry"); }

  std::string ReadString(std::string_view section, std::string_view ident,
                         std::string_view fallback) override {
    system_.Record("ReadString " + ToUtf8(section, 932) + " | " + ToUtf8(ident, 932));
    const std::string key = Join(current_.value_or(""), section);
    const auto found = system_.Keys.find(key);
    if (system_.KeysThatCannotOpen.count(key) || found == system_.Keys.end()) {
      return std::string(fallback);
    }
    const auto value = found->second.find(Fold(ident));
    if (value == found->second.end()) return std::string(fallback);
    if (system_.ValuesThatCannotRead.count(key + "\\" + Fold(ident))) {
      platform::RaiseFailure(Kind::RegistryUnreadable, std::string(ident));
    }
    return platform::RegistryValueText(ident, value->second.Type, value->second.Data);
  }

  bool OpenKey(std::string_view absolutePath) override {
    system_.Record("OpenKey " + ToUtf8(absolutePath, 932));
    return Open(absolutePath);
  }

  void WriteBinary(std::string_view name, std::string_view data) override {
    system_.Record("WriteBinary " + ToUtf8(name, 932) + " | " + std::to_string(data.size()) +
                   " bytes");
    const std::string key = current_.value_or("");
    if (system_.KeysThatRefuseWrites.count(key)) {
      platform::RaiseFailure(Kind::RegistryWriteRefused, std::string(name));
    }
    system_.Keys[key][Fold(name)] = RegValue{platform::kRegBinary, std::string(data)};
  }

  void CloseKey() override {
    system_.Record("CloseKey");
    current_.reset();
  }

 private:
  bool Open(std::string_view absolutePath) {
    const std::string key = Fold(absolutePath);
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

  std::optional<std::string> Execute(const platform::OpenDialogSettings& settings) override {
    system_.Record("ExecuteOpenDialog");
    system_.DialogSettings = settings;
    if (!system_.DialogAnswer) return std::nullopt;
    return testing_encoding::FromUtf8(*system_.DialogAnswer, system_.AnsiCodePageNumber);
  }

 private:
  FakeSystem& system_;
};

class FakeLink final : public platform::ShellLink {
 public:
  explicit FakeLink(FakeSystem& system) : system_(system) {}
  ~FakeLink() override { system_.Record("ReleaseShellLink"); }

  void SetArguments(std::string_view arguments) override {
    system_.Record("SetArguments " + system_.AnsiToUtf8(arguments));
    link_.Arguments = arguments;
  }
  void SetPath(std::string_view path) override {
    system_.Record("SetPath " + system_.AnsiToUtf8(path));
    link_.Path = path;
  }
  void SetWorkingDirectory(std::string_view folder) override {
    system_.Record("SetWorkingDirectory " + system_.AnsiToUtf8(folder));
    link_.WorkingDirectory = folder;
  }
  bool Save(const std::u16string& path) override {
    const std::string utf8 = testing_encoding::Utf8FromUtf16(path);
    system_.Record("Save " + utf8);
    system_.SavePaths.push_back(path);
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
  SetDesktopData(testing_encoding::FromUtf8(utf8Path, AnsiCodePageNumber) + '\0', type);
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

std::string FakeSystem::AnsiToUtf8(std::string_view bytes) const {
  return ToUtf8(bytes, AnsiCodePageNumber);
}

bool FakeSystem::StartCom() {
  Record("StartCom");
  return ComStartSucceeds;
}

void FakeSystem::StopCom() { Record("StopCom"); }

std::unique_ptr<platform::RegistryObject> FakeSystem::OpenRegistry(std::string_view absolutePath) {
  Record("OpenRegistry " + ToUtf8(absolutePath, 932));
  return std::make_unique<FakeRegistry>(*this, absolutePath);
}

bool FakeSystem::FileExists(std::string_view path) {
  const std::string utf8 = AnsiToUtf8(path);
  Record("FileExists " + utf8);
  return Files.count(Fold(utf8)) != 0;
}

std::unique_ptr<platform::OpenFileDialog> FakeSystem::CreateOpenDialog() {
  Record("CreateOpenDialog");
  return std::make_unique<FakeDialog>(*this);
}

void FakeSystem::ShowMessage(std::string_view text, std::string_view caption, std::uint32_t style) {
  Record("ShowMessage " + ToUtf8(caption, 932) + " | " + ToUtf8(text, 932) + " | " + Hex(style));
  Messages.push_back(Message{std::string(text), std::string(caption), style});
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

std::bitset<256> FakeSystem::AnsiLeadBytes() {
  return AnsiCodePageNumber == 932 ? setup::Cp932LeadBytes() : std::bitset<256>();
}

std::u16string FakeSystem::Widen(std::string_view bytes, unsigned codePage) {
  return testing_encoding::Utf16FromBytes(
      bytes, codePage == platform::kAnsiCodePage ? AnsiCodePageNumber : codePage);
}

std::string FakeSystem::ModuleFileName() { return ModulePath; }

std::optional<std::string> FakeSystem::SystemErrorText(std::uint32_t code) {
  const auto found = ErrorTexts.find(code);
  if (found == ErrorTexts.end()) return std::nullopt;
  return found->second;
}

}  // namespace fake
