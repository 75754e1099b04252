// The desktop folder as the registry holds it.
#include <gtest/gtest.h>

#include "encoding.h"
#include "fake_system.h"
#include "platform/registry_text.h"
#include "setup/run_setup.h"
#include "setup/texts.h"

namespace {

using platform::kRegBinary;
using platform::kRegDword;
using platform::kRegExpandSz;
using platform::kRegSz;
using platform::SystemFailure;
using Kind = SystemFailure::Kind;

using testing_encoding::U8;
using testing_encoding::Utf16leBytes;

std::string Bytes(const char* data, std::size_t size) { return std::string(data, size); }
const std::string kZero(2, '\0');  // a UTF-16 terminator

// Reads the desktop value into a fresh run state; the failure kind when it raises.
struct ReadResult {
  std::string folder;
  std::optional<Kind> failure;
};
ReadResult ReadDesktop(fake::FakeSystem& system) {
  setup::RunState state;
  state.Registry = system.OpenRegistry(setup::ExplorerKey);
  try {
    setup::ReadDesktopFolder(state);
    return {U8(state.DesktopFolder), std::nullopt};
  } catch (const SystemFailure& failure) {
    EXPECT_EQ(u"Desktop", failure.Subject);
    return {"", failure.FailureKind};
  }
}

TEST(ReadDesktopFolder, TakesTheValueAsStored) {
  struct Case {
    const char* name;
    std::function<void(fake::FakeSystem&)> scene;
    std::string folder;
    std::optional<Kind> failure;
  };
  const std::string longPath = "C:\\" + std::string(5000, 'x');
  const Case cases[] = {
      {"plain", [](fake::FakeSystem&) {}, "C:\\Users\\taro\\Desktop", {}},
      {"missing value", [](fake::FakeSystem& s) { s.RemoveDesktopValue(); }, "", {}},
      {"missing subkey",
       [](fake::FakeSystem& s) {
         s.Keys.erase("software\\microsoft\\windows\\currentversion\\explorer\\shell folders");
       },
       "", {}},
      {"empty text", [](fake::FakeSystem& s) { s.SetDesktopData(kZero, kRegSz); }, "", {}},
      {"no data at all, of a text type",
       [](fake::FakeSystem& s) { s.SetDesktopData("", kRegSz); }, "", {}},
      {"no data at all, of another type",
       [](fake::FakeSystem& s) { s.SetDesktopData("", kRegDword); }, "", {}},
      {"expand form stays unexpanded",
       [](fake::FakeSystem& s) { s.SetDesktop("%USERPROFILE%\\Desktop", kRegExpandSz); },
       "%USERPROFILE%\\Desktop", {}},
      {"trailing backslash kept",
       [](fake::FakeSystem& s) { s.SetDesktop("D:\\Desk\\"); }, "D:\\Desk\\", {}},
      {"no terminating zero",
       [](fake::FakeSystem& s) { s.SetDesktopData(Utf16leBytes("D:\\Desk"), kRegSz); }, "D:\\Desk", {}},
      {"odd length: the half code unit is dropped",
       [](fake::FakeSystem& s) { s.SetDesktopData(Utf16leBytes("D:\\Dsk") + "\x41", kRegSz); },
       "D:\\Dsk", {}},
      {"odd length after the terminator",
       [](fake::FakeSystem& s) { s.SetDesktopData(Utf16leBytes("D:\\Dsk") + kZero + "\x41", kRegSz); },
       "D:\\Dsk", {}},
      {"a single byte is no text",
       [](fake::FakeSystem& s) { s.SetDesktopData("\x41", kRegSz); }, "", {}},
      {"text after the first zero is not taken",
       [](fake::FakeSystem& s) {
         s.SetDesktopData(Utf16leBytes("D:\\A") + kZero + Utf16leBytes("D:\\B") + kZero, kRegSz);
       },
       "D:\\A", {}},
      {"a zero byte inside a code unit ends nothing",
       [](fake::FakeSystem& s) { s.SetDesktop("D:\\Ā\\") /* U+0100: bytes 00 01 */; }, "D:\\Ā\\", {}},
      {"long value, far past MAX_PATH",
       [longPath](fake::FakeSystem& s) { s.SetDesktopData(Utf16leBytes(longPath), kRegSz); }, longPath, {}},
      {"Japanese folder",
       [](fake::FakeSystem& s) { s.SetDesktop("C:\\ユーザー\\表\\デスクトップ"); },
       "C:\\ユーザー\\表\\デスクトップ", {}},
      {"folder outside code page 932, with a surrogate pair",
       [](fake::FakeSystem& s) { s.SetDesktop("C:\\Users\\𠮷野 김\\Desktop"); },
       "C:\\Users\\𠮷野 김\\Desktop", {}},
      {"a DWORD is not text",
       [](fake::FakeSystem& s) { s.SetDesktopData(Bytes("\1\0\0\0", 4), kRegDword); }, "",
       Kind::RegistryBadType},
      {"binary is not text",
       [](fake::FakeSystem& s) { s.SetDesktopData(Utf16leBytes("C:\\x"), kRegBinary); }, "",
       Kind::RegistryBadType},
      {"unreadable value",
       [](fake::FakeSystem& s) {
         s.ValuesThatCannotRead.insert(
             "software\\microsoft\\windows\\currentversion\\explorer\\shell folders\\desktop");
       },
       "", Kind::RegistryUnreadable},
      {"unopenable subkey reads as missing",
       [](fake::FakeSystem& s) {
         s.KeysThatCannotOpen.insert(
             "software\\microsoft\\windows\\currentversion\\explorer\\shell folders");
       },
       "", {}},
  };
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    SCOPED_TRACE("row " + std::to_string(row) + ": " + cases[row].name);
    fake::FakeSystem system;
    cases[row].scene(system);
    const ReadResult result = ReadDesktop(system);
    EXPECT_EQ(cases[row].folder, result.folder);
    EXPECT_EQ(cases[row].failure, result.failure);
  }
}

TEST(ReadDesktopFolder, WithoutTheExplorerKeyLooksBelowTheRoot) {
  fake::FakeSystem system;
  system.KeysThatCannotOpen.insert("software\\microsoft\\windows\\currentversion\\explorer");
  system.Keys["shell folders"]["desktop"] = fake::RegValue{kRegSz, Utf16leBytes("E:\\Odd")};
  EXPECT_EQ("E:\\Odd", ReadDesktop(system).folder);
}

}  // namespace
