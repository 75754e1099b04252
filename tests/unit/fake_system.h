// An in-memory Windows for the setup logic: a registry, a file system, a
// user who answers the dialog, and the shell's link object. It keeps the real
// rules (case-insensitive keys and paths, a save fails when its folder is
// missing, REG_SZ data taken up to its first zero) and records, in order,
// every call that touches the system or the user, so a test can assert a
// whole run. Look-ups for the failure report are not recorded. Texts reach it
// as UTF-16, as they reach Windows; the trace shows them as UTF-8.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/registry_text.h"
#include "platform/system_services.h"

namespace fake {

struct RegValue {
  std::uint32_t Type = platform::kRegSz;
  std::string Data;  // raw bytes, exactly as stored (text: UTF-16LE)
};

struct SavedLink {
  std::u16string Arguments;
  std::u16string Path;
  std::u16string WorkingDirectory;
};

inline constexpr std::uint32_t kHresultPathNotFound = 0x80070003;
inline constexpr std::uint32_t kHresultClassNotRegistered = 0x80040154;

class FakeSystem final : public platform::SystemServices {
 public:
  // A desktop folder that exists, Internet Explorer at its default path,
  // Windows 7: a normal user's machine.
  FakeSystem();

  // ---- the scene (UTF-8 in the test, stored as the system would) ----
  bool ComStartSucceeds = true;
  // Registry: key path (without leading '\', any case) -> value name -> value.
  std::map<std::string, std::map<std::string, RegValue>> Keys;
  std::set<std::string> KeysThatCannotOpen;    // key paths
  std::set<std::string> ValuesThatCannotRead;  // "key path\value name"
  std::set<std::string> KeysThatRefuseWrites;  // key paths
  // File system, as UTF-8 paths.
  std::set<std::string> Folders;
  std::set<std::string> Files;
  // The user's answer to the file-open dialog; nothing means cancel.
  std::optional<std::string> DialogAnswer;
  // The shell link object.
  std::optional<std::uint32_t> LinkCreationError;
  bool LinkHasShellLinkA = true;
  bool LinkHasPersistFile = true;
  platform::OsVersionRecord Version;
  std::string ModulePath;  // UTF-8
  std::map<std::uint32_t, std::string> ErrorTexts;  // UTF-8

  // ---- what happened ----
  std::vector<std::string> Calls;
  std::optional<platform::OpenDialogSettings> DialogSettings;
  std::map<std::string, SavedLink> SavedLinks;  // by UTF-8 path as saved
  std::vector<std::u16string> SavePaths;        // every save's path, exactly as passed
  // Message boxes as shown: text, caption and style.
  struct Message {
    std::u16string Text;
    std::u16string Caption;
    std::uint32_t Style;
  };
  std::vector<Message> Messages;

  // ---- scene helpers ----
  void SetDesktop(std::string_view utf8Path, std::uint32_t type = platform::kRegSz);
  void SetDesktopData(std::string data, std::uint32_t type);  // raw bytes (UTF-16LE for text)
  void RemoveDesktopValue();
  void SetVersion(std::uint32_t major, std::uint32_t minor, std::string_view servicePack);
  const std::map<std::string, RegValue>* Key(std::string_view path) const;

  // ---- SystemServices ----
  bool StartCom() override;
  void StopCom() override;
  std::unique_ptr<platform::RegistryObject> OpenRegistry(std::u16string_view absolutePath) override;
  bool FileExists(std::u16string_view path) override;
  std::unique_ptr<platform::OpenFileDialog> CreateOpenDialog() override;
  void ShowMessage(std::u16string_view text, std::u16string_view caption, std::uint32_t style) override;
  std::unique_ptr<platform::ShellLink> CreateShellLink() override;
  platform::OsVersionRecord QueryOsVersion() override;
  std::u16string ModuleFileName() override;
  std::optional<std::u16string> SystemErrorText(std::uint32_t code) override;

  void Record(std::string call) { Calls.push_back(std::move(call)); }
};

// Case-folded key or path, without a leading backslash: how the fake compares.
std::string Fold(std::string_view text);

}  // namespace fake
