// The Win32 side of SystemServices against a real implementation of the API
// (Wine in CI): the registry read's rules, the file test, the code-page
// conversions and the link object's save. Everything it touches lives under
// a scratch key and a scratch folder of its own.
#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "check.h"
#include "platform/win32_services.h"
#include "setup/ansi_text.h"

namespace {

using platform::SystemFailure;
using Kind = SystemFailure::Kind;

const char kScratchKey[] = "Software\\LumidorPlatformTest";
const char kExplorer[] = "\\Software\\LumidorPlatformTest\\Explorer";
const char kShellFolders[] = "Software\\LumidorPlatformTest\\Explorer\\Shell Folders";

std::string Hex(unsigned value) { return setup::UpperHex(value, 1); }

void SetRaw(const char* key, const char* name, DWORD type, const std::string& data) {
  HKEY handle = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
  RegSetValueExA(handle, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                 static_cast<DWORD>(data.size()));
  RegCloseKey(handle);
}

// What ReadString gave, or the kind of failure it raised.
std::string ReadDesktop(platform::SystemServices& system, const char* section = "Shell Folders") {
  const auto registry = system.OpenRegistry(kExplorer);
  try {
    return registry->ReadString(section, "Desktop", "(default)");
  } catch (const SystemFailure& failure) {
    return failure.FailureKind == Kind::RegistryBadType      ? "(bad type)"
           : failure.FailureKind == Kind::RegistryUnreadable ? "(unreadable)"
                                                             : "(other failure)";
  }
}

void RegistryReadTakesValuesAsStored(platform::SystemServices& system) {
  const std::string longText(20000, 'd');
  struct Case {
    DWORD type;
    std::string data;  // as given to RegSetValueExA
    std::string expected;
  };
  const Case cases[] = {
      {REG_SZ, std::string("C:\\Desk\0", 8), "C:\\Desk"},
      {REG_SZ, "C:\\NoZero", "C:\\NoZero"},                       // no terminating zero
      {REG_SZ, std::string("C:\\Odd\0", 7), "C:\\Odd"},           // odd length
      {REG_SZ, std::string("C:\\A\0C:\\B\0", 10), "C:\\A"},       // up to the first zero
      {REG_EXPAND_SZ, std::string("%USERPROFILE%\\Desktop\0", 22), "%USERPROFILE%\\Desktop"},
      {REG_SZ, "D:\\Desk\\", "D:\\Desk\\"},                       // trailing backslash kept
      {REG_SZ, longText, longText},                               // far past MAX_PATH
      {REG_SZ, "", ""},
      {REG_DWORD, std::string("\1\0\0\0", 4), "(bad type)"},
      {REG_BINARY, "C:\\x", "(bad type)"},
      {REG_DWORD, "", ""},  // no data at all: empty, whatever the type
  };
  int row = 0;
  for (const Case& c : cases) {
    SetRaw(kShellFolders, "Desktop", c.type, c.data);
    const std::string got = ReadDesktop(system);
    EXPECT_THAT(got == c.expected, "registry row " + std::to_string(row) + ": got " +
                                       check::Show(got.substr(0, 60)) + ", want " +
                                       check::Show(c.expected.substr(0, 60)));
    ++row;
  }

  HKEY handle = nullptr;
  RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_ALL_ACCESS, &handle);
  RegDeleteValueA(handle, "Desktop");
  RegCloseKey(handle);
  EXPECT_THAT(ReadDesktop(system) == "(default)", "a missing value reads as the default");
  EXPECT_THAT(ReadDesktop(system, "No Such Section") == "(default)",
              "a missing section reads as the default");
}

void RegistryWriteReplacesTheValue(platform::SystemServices& system) {
  const char allow[] = "\\Software\\LumidorPlatformTest\\New Windows\\Allow";
  for (int run = 0; run < 2; ++run) {
    const auto registry = system.OpenRegistry(kExplorer);
    EXPECT_THAT(registry->OpenKey(allow), "the allow-list key opens, created when missing");
    registry->WriteBinary("host.example.com", {});
    registry->CloseKey();
  }
  HKEY handle = nullptr;
  RegOpenKeyExA(HKEY_CURRENT_USER, allow + 1, 0, KEY_READ, &handle);
  DWORD values = 0;
  RegQueryInfoKeyA(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  DWORD type = 0;
  DWORD size = 99;
  const LONG read = RegQueryValueExA(handle, "host.example.com", nullptr, &type, nullptr, &size);
  RegCloseKey(handle);
  EXPECT_THAT(values == 1, "two runs leave one value, found " + std::to_string(values));
  EXPECT_THAT(read == ERROR_SUCCESS && type == REG_BINARY && size == 0,
              "the value is an empty REG_BINARY (type " + std::to_string(type) + ", size " +
                  std::to_string(size) + ")");
}

void FileExistsCountsOnlyFilesWithADosDate(platform::SystemServices& system,
                                           const std::string& folder) {
  const std::string file = folder + "\\browser.exe";
  const std::string old = folder + "\\old.exe";
  for (const std::string& path : {file, old}) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
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
  EXPECT_THAT(!system.FileExists(folder), "a folder is not a file");
  EXPECT_THAT(!system.FileExists(folder + "\\missing.exe"), "a missing file does not exist");
  EXPECT_THAT(!system.FileExists(old), "a file dated before 1980 does not count");
}

void ConversionsFollowTheirCodePages(platform::SystemServices& system) {
  const std::string katakana = "\x83\x67\x83\x62\x83\x76";  // トップ in code page 932
  EXPECT_THAT(system.Widen(katakana, platform::kJapaneseCodePage) == u"\u30C8\u30C3\u30D7",
              "code page 932 widens to katakana whatever the system's code page");
  const UINT acp = GetACP();
  const std::bitset<256> lead = system.AnsiLeadBytes();
  if (acp == 932) {
    EXPECT_THAT(lead == setup::Cp932LeadBytes(), "lead bytes of code page 932");
    EXPECT_THAT(system.Widen(katakana, platform::kAnsiCodePage) == u"\u30C8\u30C3\u30D7",
                "the ANSI code page is 932 here");
  } else {
    EXPECT_THAT(lead.none(), "code page " + std::to_string(acp) + " has no lead bytes");
    EXPECT_THAT(acp != 1252 || system.Widen("Zo\xEB", platform::kAnsiCodePage) == u"Zo\u00EB",
                "code page 1252 widens e-diaeresis");
  }
}

void ShellLinkSavesOnlyIntoAFolderThatExists(platform::SystemServices& system,
                                             const std::string& folder) {
  const auto link = system.CreateShellLink();
  link->SetArguments("\"http://host.example.com/menu1/MenuM0000s1\"");
  // A target that does not exist makes SetPath return S_FALSE, a success code.
  link->SetPath("C:\\Nowhere\\browser.exe");
  link->SetWorkingDirectory("C:\\Nowhere\\");
  const std::u16string name = u"\\\u30C8\u30C3\u30D7.lnk";
  const std::u16string there = system.Widen(folder, platform::kAnsiCodePage) + name;
  const std::u16string missing = system.Widen(folder + "\\missing", platform::kAnsiCodePage) + name;
  EXPECT_THAT(link->Save(there), "the link saves into an existing folder");
  const std::wstring wide(there.begin(), there.end());
  EXPECT_THAT(GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES,
              "the saved file is there under its Unicode name");
  EXPECT_THAT(!link->Save(missing), "a save into a missing folder reports failure");
}

void ErrorTextsAndModuleName(platform::SystemServices& system) {
  const auto known = system.SystemErrorText(ERROR_FILE_NOT_FOUND);
  EXPECT_THAT(known && known->size() > 2, "the system has a text for ERROR_FILE_NOT_FOUND");
  EXPECT_THAT(!system.SystemErrorText(0x2BADF00Du), "no text for a code nobody defined");
  const std::string module = system.ModuleFileName();
  EXPECT_THAT(setup::FileNamePart(module, system.AnsiLeadBytes()) == "platform_tests.exe",
              "module file name " + check::Show(module));
}

std::string ScratchFolder() {
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "LumidorPlatformTest" + Hex(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

}  // namespace

int main() {
  platform::Win32Services system;
  const bool comStarted = system.StartCom();
  EXPECT_THAT(comStarted, "COM starts");
  const std::string folder = ScratchFolder();

  RegistryReadTakesValuesAsStored(system);
  RegistryWriteReplacesTheValue(system);
  FileExistsCountsOnlyFilesWithADosDate(system, folder);
  ConversionsFollowTheirCodePages(system);
  ShellLinkSavesOnlyIntoAFolderThatExists(system, folder);
  ErrorTextsAndModuleName(system);

  SHDeleteKeyA(HKEY_CURRENT_USER, kScratchKey);
  if (comStarted) system.StopCom();
  return check::Finish();
}
