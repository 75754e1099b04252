// The Win32 side of SystemServices against a real implementation of the API
// (Wine in CI): the registry read's rules, the file test, the link object's
// save and the module's name, with texts outside any ANSI code page. Everything it touches lives under
// a scratch key and a scratch folder of its own.
#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "check.h"
#include "platform/win32_services.h"
#include "setup/text_fields.h"

namespace {

using platform::SystemFailure;
using Kind = SystemFailure::Kind;

const wchar_t kScratchKey[] = L"Software\\LumidorPlatformTest";
const char16_t kExplorer[] = u"\\Software\\LumidorPlatformTest\\Explorer";
const wchar_t kShellFolders[] = L"Software\\LumidorPlatformTest\\Explorer\\Shell Folders";

// Outside code page 932 and 1252 alike: Korean, and 𠮷 (a surrogate pair).
const char16_t kForeign[] = u"\uBE0C\uB77C\uC6B0\uC800 \U00020BB7";

std::u16string Hex(unsigned value) { return setup::UpperHex(value, 1); }

// UTF-16 as UTF-8, for the messages of failed checks.
std::string Utf8(const std::u16string& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, platform::Wide(text), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size : 0, '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_UTF8, 0, platform::Wide(text), static_cast<int>(text.size()), out.data(),
                        size, nullptr, nullptr);
  }
  return out;
}

// The raw bytes of a text as the registry keeps it (UTF-16LE), no terminator.
std::string Bytes(const std::u16string& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

void SetRaw(const wchar_t* key, const wchar_t* name, DWORD type, const std::string& data) {
  HKEY handle = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
  RegSetValueExW(handle, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                 static_cast<DWORD>(data.size()));
  RegCloseKey(handle);
}

// What ReadString gave, or the kind of failure it raised.
std::u16string ReadDesktop(platform::SystemServices& system, const char16_t* section = u"Shell Folders") {
  const auto registry = system.OpenRegistry(kExplorer);
  try {
    return registry->ReadString(section, u"Desktop", u"(default)");
  } catch (const SystemFailure& failure) {
    return failure.FailureKind == Kind::RegistryBadType      ? u"(bad type)"
           : failure.FailureKind == Kind::RegistryUnreadable ? u"(unreadable)"
                                                             : u"(other failure)";
  }
}

void RegistryReadTakesValuesAsStored(platform::SystemServices& system) {
  const std::u16string longText(20000, u'd');
  const std::u16string foreign = std::u16string(u"C:\\") + kForeign + u"\\Desktop";
  const std::string zero(2, '\0');
  struct Case {
    DWORD type;
    std::string data;  // as given to RegSetValueExW
    std::u16string expected;
  };
  const Case cases[] = {
      {REG_SZ, Bytes(u"C:\\Desk") + zero, u"C:\\Desk"},
      {REG_SZ, Bytes(u"C:\\NoZero"), u"C:\\NoZero"},               // no terminating zero
      {REG_SZ, Bytes(u"C:\\Odd") + "x", u"C:\\Odd"},               // odd length: half a unit dropped
      {REG_SZ, Bytes(u"C:\\A") + zero + Bytes(u"C:\\B") + zero, u"C:\\A"},  // up to the first zero
      {REG_EXPAND_SZ, Bytes(u"%USERPROFILE%\\Desktop") + zero, u"%USERPROFILE%\\Desktop"},
      {REG_SZ, Bytes(u"D:\\Desk\\"), u"D:\\Desk\\"},               // trailing backslash kept
      {REG_SZ, Bytes(foreign) + zero, foreign},                  // outside every ANSI code page
      {REG_SZ, Bytes(longText), longText},                       // far past MAX_PATH
      {REG_SZ, "", u""},
      {REG_DWORD, std::string("\1\0\0\0", 4), u"(bad type)"},
      {REG_BINARY, Bytes(u"C:\\x"), u"(bad type)"},
      {REG_DWORD, "", u""},  // no data at all: empty, whatever the type
  };
  int row = 0;
  for (const Case& c : cases) {
    SetRaw(kShellFolders, L"Desktop", c.type, c.data);
    const std::u16string got = ReadDesktop(system);
    EXPECT_THAT(got == c.expected, "registry row " + std::to_string(row) + ": got " +
                                       check::Show(Utf8(got.substr(0, 60))) + ", want " +
                                       check::Show(Utf8(c.expected.substr(0, 60))));
    ++row;
  }

  HKEY handle = nullptr;
  RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, KEY_ALL_ACCESS, &handle);
  RegDeleteValueW(handle, L"Desktop");
  RegCloseKey(handle);
  EXPECT_THAT(ReadDesktop(system) == u"(default)", "a missing value reads as the default");
  EXPECT_THAT(ReadDesktop(system, u"No Such Section") == u"(default)",
              "a missing section reads as the default");
}

void RegistryWriteReplacesTheValue(platform::SystemServices& system) {
  const char16_t allow[] = u"\\Software\\LumidorPlatformTest\\New Windows\\Allow";
  for (int run = 0; run < 2; ++run) {
    const auto registry = system.OpenRegistry(kExplorer);
    EXPECT_THAT(registry->OpenKey(allow), "the allow-list key opens, created when missing");
    registry->WriteBinary(u"host.example.com", {});
    registry->CloseKey();
  }
  HKEY handle = nullptr;
  RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\LumidorPlatformTest\\New Windows\\Allow", 0, KEY_READ,
                &handle);
  DWORD values = 0;
  RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  DWORD type = 0;
  DWORD size = 99;
  const LONG read = RegQueryValueExW(handle, L"host.example.com", nullptr, &type, nullptr, &size);
  RegCloseKey(handle);
  EXPECT_THAT(values == 1, "two runs leave one value, found " + std::to_string(values));
  EXPECT_THAT(read == ERROR_SUCCESS && type == REG_BINARY && size == 0,
              "the value is an empty REG_BINARY (type " + std::to_string(type) + ", size " +
                  std::to_string(size) + ")");
}

void FileExistsCountsOnlyFilesWithADosDate(platform::SystemServices& system,
                                           const std::u16string& folder) {
  const std::u16string file = folder + u"\\browser.exe";
  const std::u16string foreign = folder + u"\\" + kForeign + u".exe";
  const std::u16string old = folder + u"\\old.exe";
  for (const std::u16string& path : {file, foreign, old}) {
    HANDLE h = CreateFileW(platform::Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (path == old) {
      // 1 January 1975: before the first MS-DOS date.
      SYSTEMTIME when{};
      when.wYear = 1975;
      when.wMonth = 1;
      when.wDay = 1;
      FILETIME stamp{};
      SystemTimeToFileTime(&when, &stamp);
      SetFileTime(h, nullptr, nullptr, &stamp);
    }
    CloseHandle(h);
  }
  EXPECT_THAT(system.FileExists(file), "a file exists");
  EXPECT_THAT(system.FileExists(foreign), "a file whose name no ANSI code page holds exists");
  EXPECT_THAT(!system.FileExists(folder), "a folder is not a file");
  EXPECT_THAT(!system.FileExists(folder + u"\\missing.exe"), "a missing file does not exist");
  EXPECT_THAT(!system.FileExists(old), "a file dated before 1980 does not count");
}

void ShellLinkSavesOnlyIntoAFolderThatExists(platform::SystemServices& system,
                                             const std::u16string& folder) {
  const auto link = system.CreateShellLink();
  link->SetArguments(u"\"http://host.example.com/menu1/MenuM0000s1\"");
  // A target that does not exist makes SetPath return S_FALSE, a success code.
  link->SetPath(u"C:\\Nowhere\\browser.exe");
  link->SetWorkingDirectory(u"C:\\Nowhere\\");
  const std::u16string name = std::u16string(u"\\\u30C8\u30C3\u30D7 ") + kForeign + u".lnk";
  const std::u16string there = folder + name;
  const std::u16string missing = folder + u"\\missing" + name;
  EXPECT_THAT(link->Save(there), "the link saves into an existing folder");
  EXPECT_THAT(GetFileAttributesW(platform::Wide(there)) != INVALID_FILE_ATTRIBUTES,
              "the saved file is there under its Unicode name");
  EXPECT_THAT(!link->Save(missing), "a save into a missing folder reports failure");
}

void ErrorTextsAndModuleName(platform::SystemServices& system) {
  const auto known = system.SystemErrorText(ERROR_FILE_NOT_FOUND);
  EXPECT_THAT(known && known->size() > 2, "the system has a text for ERROR_FILE_NOT_FOUND");
  EXPECT_THAT(!system.SystemErrorText(0x2BADF00Du), "no text for a code nobody defined");
  const std::u16string module = system.ModuleFileName();
  EXPECT_THAT(setup::FileNamePart(module) == u"platform_tests.exe",
              "module file name " + check::Show(Utf8(module)));
}

std::u16string ScratchFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  // The folder's own name is outside every ANSI code page too.
  const std::u16string folder = std::u16string(reinterpret_cast<const char16_t*>(temp)) +
                                u"LumidorPlatformTest " + kForeign + Hex(GetCurrentProcessId());
  CreateDirectoryW(platform::Wide(folder), nullptr);
  return folder;
}

}  // namespace

int main() {
  platform::Win32Services system;
  const bool comStarted = system.StartCom();
  EXPECT_THAT(comStarted, "COM starts");
  const std::u16string folder = ScratchFolder();

  RegistryReadTakesValuesAsStored(system);
  RegistryWriteReplacesTheValue(system);
  FileExistsCountsOnlyFilesWithADosDate(system, folder);
  ShellLinkSavesOnlyIntoAFolderThatExists(system, folder);
  ErrorTextsAndModuleName(system);

  SHDeleteKeyW(HKEY_CURRENT_USER, kScratchKey);
  if (comStarted) system.StopCom();
  return check::Finish();
}
