// The one boundary between the setup logic and Windows.
//
// Texts cross it as UTF-16 (the W variants of the Windows calls), so that
// every message and path is right whatever the system's ANSI code page. The
// one ANSI record left is the OS version, whose only text is ASCII. This
// header must stay free of <windows.h> so that the whole setup logic builds
// and runs on any host against a fake implementation.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Values that mirror <windows.h>; the Win32 implementation checks them.
inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbIconError = 0x10;
inline constexpr std::uint32_t kMbIconInformation = 0x40;
inline constexpr std::uint32_t kMbTaskModal = 0x2000;

inline constexpr std::uint32_t kOfnHideReadOnly = 0x4;
inline constexpr std::uint32_t kOfnExplorer = 0x80000;
inline constexpr std::uint32_t kOfnEnableSizing = 0x800000;

// A hard failure of a system operation. Nothing in the setup logic catches
// it; the process-level handler turns it into the uncaught-failure message.
struct SystemFailure {
  enum class Kind {
    ComError,          // a COM call failed with `Code`
    InterfaceMissing,  // an object lacks an interface we need
    RegistryBadType,   // value `Subject` holds data that is not text
    RegistryUnreadable,  // value `Subject` exists but cannot be read
    RegistryWriteRefused,  // value `Subject` could not be written
  };
  Kind FailureKind;
  std::u16string Subject;   // the value name, for registry failures
  std::uint32_t Code = 0;   // the HRESULT, for COM failures
  const void* Place = nullptr;  // where in the module it was raised
};

// Throws a SystemFailure whose Place is the caller's return address.
[[noreturn]] void RaiseFailure(SystemFailure::Kind kind, std::u16string subject = {},
                               std::uint32_t code = 0);

// What GetVersionExA filled in; zero everywhere when the query failed.
struct OsVersionRecord {
  bool Succeeded = false;
  std::uint32_t MajorVersion = 0;
  std::uint32_t MinorVersion = 0;
  std::array<char, 128> CsdVersion{};  // need not hold a terminating zero
};

// The settings of the file-open dialog, as the dialog will receive them.
struct OpenDialogSettings {
  bool OwnedByApplicationWindow = false;
  std::u16string Filter;      // entries separated by zero code units, ending in two
  std::uint32_t FilterIndex = 0;  // 1 selects the first entry
  std::u16string InitialDir;  // passed as a text, even when empty
  std::u16string Title;       // empty: the system's own title
  std::uint32_t MaxFile = 0;  // room for the chosen path, with its zero
  std::uint32_t Flags = 0;
};

// The registry object: a root (always HKEY_CURRENT_USER here) and at most one
// open current key. Destroying it closes the current key.
class RegistryObject {
 public:
  virtual ~RegistryObject() = default;
  // Reads a text value from `section` below the current key (below the root
  // when there is none). Missing section or value: `fallback`. A value with
  // no data: empty. REG_SZ/REG_EXPAND_SZ: code units up to the first zero,
  // unexpanded. Any other type or a failed read raises.
  virtual std::u16string ReadString(std::u16string_view section, std::u16string_view ident,
                                    std::u16string_view fallback) = 0;
  // Opens (creating it when missing) a key given by an absolute path; on
  // success it replaces the current key.
  virtual bool OpenKey(std::u16string_view absolutePath) = 0;
  // Writes a REG_BINARY value of `data`'s bytes into the current key; a
  // refusal raises.
  virtual void WriteBinary(std::u16string_view name, std::string_view data) = 0;
  virtual void CloseKey() = 0;
};

// The shell's link object, seen through IShellLinkW and IPersistFile.
// Destroying it releases the object.
class ShellLink {
 public:
  virtual ~ShellLink() = default;
  virtual void SetArguments(std::u16string_view arguments) = 0;
  virtual void SetPath(std::u16string_view path) = 0;
  virtual void SetWorkingDirectory(std::u16string_view folder) = 0;
  // True when the shell reports success (any success code).
  virtual bool Save(std::u16string_view path) = 0;
};

// The file-open dialog. Destroying it releases the dialog.
class OpenFileDialog {
 public:
  virtual ~OpenFileDialog() = default;
  // Shows the dialog modally; the chosen full path, or nothing when the user
  // cancelled or the dialog failed.
  virtual std::optional<std::u16string> Execute(const OpenDialogSettings& settings) = 0;
};

class SystemServices {
 public:
  virtual ~SystemServices() = default;

  // CoInitialize for this thread; true when it succeeded (and so must be undone).
  virtual bool StartCom() = 0;
  virtual void StopCom() = 0;

  // HKEY_CURRENT_USER with `absolutePath` opened (created when missing) as the
  // current key; when that fails the object simply has no current key.
  virtual std::unique_ptr<RegistryObject> OpenRegistry(std::u16string_view absolutePath) = 0;

  // True only for a file (not a folder) with a last-write time that has an
  // MS-DOS date form.
  virtual bool FileExists(std::u16string_view path) = 0;
  virtual std::unique_ptr<OpenFileDialog> CreateOpenDialog() = 0;
  // A message box with no owner window; returns when the user closes it.
  virtual void ShowMessage(std::u16string_view text, std::u16string_view caption,
                           std::uint32_t style) = 0;

  // CLSID_ShellLink with both of its views, or a raised failure.
  virtual std::unique_ptr<ShellLink> CreateShellLink() = 0;

  virtual OsVersionRecord QueryOsVersion() = 0;

  // The full path of the program's own file.
  virtual std::u16string ModuleFileName() = 0;
  // The system's own text for an error code, when it has one.
  virtual std::optional<std::u16string> SystemErrorText(std::uint32_t code) = 0;
};

}  // namespace platform
