// Whole runs against the fake system: every ending, as the sequence of calls
// the system sees, one table row per scene.
#include <gtest/gtest.h>

#include <functional>

#include "encoding.h"
#include "fake_system.h"
#include "platform/last_resort.h"
#include "setup/run_setup.h"

namespace {

using fake::FakeSystem;
using testing_encoding::U8;
using Calls = std::vector<std::string>;

const std::string kHost = TEST_SERVICE_HOST;
const std::string kDesktop = "C:\\Users\\taro\\Desktop";
const std::string kIe = "C:\\Program Files\\Internet Explorer\\iexplore.exe";
const std::string kIeFolder = "C:\\Program Files\\Internet Explorer\\";
const std::string kShortcutName = "\\Lumidor トップメニュー.lnk";
const std::string kArguments = "\"http://" + kHost + "/menu1/MenuM0000s1\"";
const std::string kAllowKey = "\\Software\\Microsoft\\Internet Explorer\\New Windows\\Allow";

Calls Join(std::initializer_list<Calls> parts) {
  Calls all;
  for (const Calls& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const Calls kStart = {"StartCom",
                      "OpenRegistry \\Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer",
                      "ReadString Shell Folders | Desktop"};
const Calls kFindDefaultBrowser = {"FileExists " + kIe};
const Calls kVersion = {"QueryOsVersion"};
const Calls kAllow = {"OpenKey " + kAllowKey, "WriteBinary " + kHost + " | 0 bytes", "CloseKey"};
const Calls kDone = {"ShowMessage 確認 | 設定が終了しました。 | 0x40"};
const Calls kShortcutFailed = {
    "ShowMessage エラー | ショートカットの作成に失敗しました。マニュアルを参考に手動で設定して"
    "ください。 | 0x10"};
const Calls kEnd = {"ReleaseRegistry", "StopCom"};

Calls Shortcut(const std::string& target, const std::string& folder, const std::string& savedAs) {
  return {"CreateShellLink",
          "SetArguments " + kArguments,
          "SetPath " + target,
          "SetWorkingDirectory " + folder,
          "Save " + savedAs,
          "ReleaseShellLink"};
}
const Calls kDefaultShortcut = Shortcut(kIe, kIeFolder, kDesktop + kShortcutName);

Calls Chooser(bool picked) {
  Calls calls = {"FileExists " + kIe, "CreateOpenDialog", "ExecuteOpenDialog"};
  if (!picked) calls.insert(calls.end(), kShortcutFailed.begin(), kShortcutFailed.end());
  calls.push_back("ReleaseOpenDialog");
  return calls;
}

// The uncaught-failure message; its text names a code address, so only the
// start is compared here (the report's own tests check the whole text).
Calls UncaughtFailure(const std::string& kindAndModule) {
  return {"ShowMessage アプリケーション エラー | " + kindAndModule + "*"};
}

struct RunCase {
  const char* name;
  std::function<void(FakeSystem&)> scene;
  int exitCode;
  Calls calls;
};

const RunCase kRunCases[] = {
    {"completed, Windows 7", [](FakeSystem&) {}, 0,
     Join({kStart, kFindDefaultBrowser, kDefaultShortcut, kVersion, kDone, kEnd})},
    {"completed, XP SP2 allows pop-ups",
     [](FakeSystem& s) { s.SetVersion(5, 1, "Service Pack 2"); }, 0,
     Join({kStart, kFindDefaultBrowser, kDefaultShortcut, kVersion, kAllow, kDone, kEnd})},
    {"XP SP2 with an allow-list key that cannot open",
     [](FakeSystem& s) {
       s.SetVersion(5, 1, "Service Pack 2");
       s.KeysThatCannotOpen.insert(fake::Fold(kAllowKey));
     },
     0,
     Join({kStart, kFindDefaultBrowser, kDefaultShortcut, kVersion, {"OpenKey " + kAllowKey},
           kDone, kEnd})},
    {"browser picked in the chooser",
     [](FakeSystem& s) {
       s.Files.clear();
       s.DialogAnswer = "D:\\Browsers\\other.exe";
     },
     0,
     Join({kStart, Chooser(true),
           Shortcut("D:\\Browsers\\other.exe", "D:\\Browsers\\", kDesktop + kShortcutName),
           kVersion, kDone, kEnd})},
    {"a folder at the default path brings the chooser",
     [](FakeSystem& s) {
       s.Files.clear();
       s.Folders.insert(fake::Fold(kIe));
       s.DialogAnswer = "C:\\not there.exe";
     },
     0,
     Join({kStart, Chooser(true), Shortcut("C:\\not there.exe", "C:\\", kDesktop + kShortcutName),
           kVersion, kDone, kEnd})},
    {"chooser cancelled: nothing written, exit 0",
     [](FakeSystem& s) {
       s.Files.clear();
       s.SetVersion(5, 1, "Service Pack 2");
     },
     0, Join({kStart, Chooser(false), kEnd})},
    {"no desktop value: nothing saved, pop-ups still allowed, exit 1",
     [](FakeSystem& s) {
       s.RemoveDesktopValue();
       s.SetVersion(5, 1, "Service Pack 3");
     },
     1, Join({kStart, kFindDefaultBrowser, kVersion, kAllow, kShortcutFailed, kEnd})},
    {"desktop folder missing: save fails, exit 1",
     [](FakeSystem& s) { s.Folders.erase(fake::Fold(kDesktop)); }, 1,
     Join({kStart, kFindDefaultBrowser, kDefaultShortcut, kVersion, kShortcutFailed, kEnd})},
    {"explorer key cannot open: desktop looked up below the root",
     [](FakeSystem& s) {
       s.KeysThatCannotOpen.insert("software\\microsoft\\windows\\currentversion\\explorer");
     },
     1, Join({kStart, kFindDefaultBrowser, kVersion, kShortcutFailed, kEnd})},
    {"COM did not start: not stopped either",
     [](FakeSystem& s) { s.ComStartSucceeds = false; }, 0,
     Join({kStart, kFindDefaultBrowser, kDefaultShortcut, kVersion, kDone, {"ReleaseRegistry"}})},
    {"desktop value is a DWORD: uncaught failure after release",
     [](FakeSystem& s) { s.SetDesktopData(std::string("\x01\0\0\0", 4), platform::kRegDword); },
     1,
     Join({kStart, kEnd,
           UncaughtFailure("RegistryErrorがモジュール Lumidor Install for IE.exe の ")})},
    {"desktop value unreadable: uncaught failure",
     [](FakeSystem& s) {
       s.ValuesThatCannotRead.insert(
           "software\\microsoft\\windows\\currentversion\\explorer\\shell folders\\desktop");
     },
     1, Join({kStart, kEnd, UncaughtFailure("RegistryErrorがモジュール ")})},
    {"link object not registered: uncaught failure",
     [](FakeSystem& s) { s.LinkCreationError = fake::kHresultClassNotRegistered; }, 1,
     Join({kStart, kFindDefaultBrowser, {"CreateShellLink"}, kEnd,
           UncaughtFailure("ComErrorがモジュール ")})},
    {"link object lacks IPersistFile: uncaught failure",
     [](FakeSystem& s) { s.LinkHasPersistFile = false; }, 1,
     Join({kStart, kFindDefaultBrowser, {"CreateShellLink"}, kEnd,
           UncaughtFailure("InterfaceErrorがモジュール ")})},
    {"allow-list write refused: uncaught failure, no completion",
     [](FakeSystem& s) {
       s.SetVersion(5, 1, "Service Pack 2");
       s.KeysThatRefuseWrites.insert(fake::Fold(kAllowKey));
     },
     1,
     Join({kStart, kFindDefaultBrowser, kDefaultShortcut, kVersion,
           {"OpenKey " + kAllowKey, "WriteBinary " + kHost + " | 0 bytes"}, kEnd,
           UncaughtFailure("RegistryErrorがモジュール ")})},
};

void ExpectCalls(const Calls& expected, const Calls& actual) {
  for (std::size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
    const std::string want = i < expected.size() ? expected[i] : "(nothing)";
    const std::string got = i < actual.size() ? actual[i] : "(nothing)";
    if (!want.empty() && want.back() == '*') {
      EXPECT_EQ(want.substr(0, want.size() - 1), got.substr(0, want.size() - 1)) << "call " << i;
    } else {
      EXPECT_EQ(want, got) << "call " << i;
    }
  }
}

TEST(RunSetup, EveryEndingCallsTheSystemInOrder) {
  for (std::size_t row = 0; row < std::size(kRunCases); ++row) {
    const RunCase& c = kRunCases[row];
    SCOPED_TRACE("row " + std::to_string(row) + ": " + c.name);
    FakeSystem system;
    c.scene(system);
    EXPECT_EQ(c.exitCode, platform::RunWithLastResort(system, &setup::RunSetup));
    ExpectCalls(c.calls, system.Calls);
  }
}

TEST(RunSetup, SavedShortcutHoldsTargetArgumentsAndFolder) {
  FakeSystem system;
  ASSERT_EQ(0, setup::RunSetup(system));
  ASSERT_EQ(1u, system.SavedLinks.size());
  const auto& [path, link] = *system.SavedLinks.begin();
  EXPECT_EQ(kDesktop + kShortcutName, path);
  EXPECT_EQ(kArguments, U8(link.Arguments));
  EXPECT_EQ(kIe, U8(link.Path));
  EXPECT_EQ(kIeFolder, U8(link.WorkingDirectory));
}

TEST(RunSetup, ChooserGetsItsSettingsByteForByte) {
  FakeSystem system;
  system.Files.clear();
  ASSERT_EQ(0, setup::RunSetup(system));
  ASSERT_TRUE(system.DialogSettings.has_value());
  const platform::OpenDialogSettings& s = *system.DialogSettings;
  EXPECT_TRUE(s.OwnedByApplicationWindow);
  EXPECT_EQ(std::u16string(u"EXE (*.exe)\0*.exe\0\0", 19), s.Filter);
  EXPECT_EQ(1u, s.FilterIndex);
  EXPECT_EQ(u"", s.InitialDir);
  EXPECT_EQ(u"", s.Title);
  EXPECT_EQ(261u, s.MaxFile);  // 260 characters and the zero
  EXPECT_EQ(0x80000u | 0x4u | 0x800000u, s.Flags);
  // The cancelled chooser's one message: the error icon only.
  ASSERT_EQ(1u, system.Messages.size());
  EXPECT_EQ(0x10u, system.Messages[0].Style);
}

// Paths reach the shell exactly as the registry and the dialog gave them,
// whatever characters they hold: Japanese, Korean (outside code page 932) or
// outside the Basic Multilingual Plane (𠮷, a surrogate pair), so no ANSI
// code page can mangle them.
TEST(RunSetup, PathsOfAnyCharactersReachTheShellUnchanged) {
  struct Case {
    const char* desktop;  // UTF-8
    const char16_t* savedAs;
    const char* picked;   // nullptr: the default browser
    const char16_t* target;
    const char16_t* folder;
  };
  const Case cases[] = {
      {"C:\\Users\\Zoë\\Desktop", u"C:\\Users\\Zo\u00EB\\Desktop\\Lumidor \u30C8\u30C3\u30D7\u30E1\u30CB\u30E5\u30FC.lnk",
       nullptr, u"C:\\Program Files\\Internet Explorer\\iexplore.exe", u"C:\\Program Files\\Internet Explorer\\"},
      {"C:\\Users\\𠮷野\\デスクトップ",
       u"C:\\Users\\\U00020BB7\u91CE\\\u30C7\u30B9\u30AF\u30C8\u30C3\u30D7\\Lumidor \u30C8\u30C3\u30D7\u30E1\u30CB\u30E5\u30FC.lnk",
       "C:\\브라우저\\b.exe", u"C:\\\uBE0C\uB77C\uC6B0\uC800\\b.exe", u"C:\\\uBE0C\uB77C\uC6B0\uC800\\"},
  };
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    SCOPED_TRACE("row " + std::to_string(row) + ": " + cases[row].desktop);
    FakeSystem system;
    system.Folders.insert(fake::Fold(cases[row].desktop));
    system.SetDesktop(cases[row].desktop);
    if (cases[row].picked) {
      system.Files.clear();
      system.DialogAnswer = cases[row].picked;
    }
    ASSERT_EQ(0, setup::RunSetup(system));
    ASSERT_EQ(1u, system.SavePaths.size());
    EXPECT_EQ(cases[row].savedAs, system.SavePaths[0]);
    ASSERT_EQ(1u, system.SavedLinks.size());
    const fake::SavedLink& link = system.SavedLinks.begin()->second;
    EXPECT_EQ(cases[row].target, link.Path);
    EXPECT_EQ(cases[row].folder, link.WorkingDirectory);
  }
}

// The working folder ends at the last backslash or colon of the picked path.
// In UTF-16 no character's code unit can pass for one, whatever its byte
// form in code page 932 (表 and ソ end in 0x5C there).
TEST(RunSetup, WorkingFolderIsThePickedPathUpToItsLastSeparator) {
  struct Case {
    const char* picked;  // UTF-8
    const char* folder;
  };
  const Case cases[] = {
      {"C:\\表\\ブラウザ.exe", "C:\\表\\"},
      {"C:\\Tools\\表", "C:\\Tools\\"},
      {"D:ソ.exe", "D:"},
      {"browser.exe", ""},
      {"C:\\Café\\browser.exe", "C:\\Café\\"},
      {"\\\\server\\share\\𠮷.exe", "\\\\server\\share\\"},
  };
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    SCOPED_TRACE("row " + std::to_string(row) + ": " + cases[row].picked);
    FakeSystem system;
    system.Files.clear();
    system.DialogAnswer = cases[row].picked;
    ASSERT_EQ(0, setup::RunSetup(system));
    ASSERT_EQ(1u, system.SavedLinks.size());
    const fake::SavedLink& link = system.SavedLinks.begin()->second;
    EXPECT_EQ(cases[row].picked, U8(link.Path));
    EXPECT_EQ(cases[row].folder, U8(link.WorkingDirectory));
  }
}

TEST(RunSetup, SecondRunRepeatsEveryStepAndLeavesOneValue) {
  FakeSystem system;
  system.SetVersion(5, 1, "Service Pack 2");
  ASSERT_EQ(0, setup::RunSetup(system));
  const Calls firstRun = system.Calls;
  system.Calls.clear();
  ASSERT_EQ(0, setup::RunSetup(system));
  EXPECT_EQ(firstRun, system.Calls);
  EXPECT_EQ(1u, system.SavedLinks.size());
  const auto* allow = system.Key(kAllowKey);
  ASSERT_NE(nullptr, allow);
  ASSERT_EQ(1u, allow->size());
  EXPECT_EQ(kHost, allow->begin()->first);
  EXPECT_EQ(platform::kRegBinary, allow->begin()->second.Type);
  EXPECT_EQ("", allow->begin()->second.Data);
}

}  // namespace
