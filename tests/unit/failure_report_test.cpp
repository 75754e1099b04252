// The uncaught-failure message, field by field.
#include "setup/failure_report.h"

#include <gtest/gtest.h>

#include "encoding.h"
#include "fake_system.h"
#include "platform/last_resort.h"

namespace {

using platform::SystemFailure;
using testing_encoding::U16;
using testing_encoding::U8;
using Kind = SystemFailure::Kind;

TEST(FailureMessage, SaysWhatFailed) {
  struct Case {
    SystemFailure failure;
    const char* message;  // UTF-8
  };
  const Case cases[] = {
      {{Kind::ComError, u"", 0x80040154}, "Class not registered"},
      {{Kind::ComError, u"", 0x8000FFFF}, "OLE エラー 8000FFFF"},
      {{Kind::ComError, u"", 0x80070005}, "OLE エラー 80070005"},  // text of nothing but stops
      {{Kind::ComError, u"", 0x80070002}, "指定されたファイルが見つかりません。"},  // a Japanese text, kept whole
      {{Kind::InterfaceMissing, u""}, "Interface はサポートされていません"},
      {{Kind::RegistryBadType, u"Desktop"}, "'Desktop' のデータ型が不正です"},
      {{Kind::RegistryUnreadable, u"Desktop"}, "'Desktop' の取得に失敗しました"},
      {{Kind::RegistryWriteRefused, u"lumidor.example.com"},
       "'lumidor.example.com' の設定に失敗しました"},
  };
  fake::FakeSystem system;
  system.ErrorTexts[0x80040154] = "Class not registered. \r\n";
  system.ErrorTexts[0x80070005] = ". . \r\n";
  system.ErrorTexts[0x80070002] = "指定されたファイルが見つかりません。\r\n";
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    SCOPED_TRACE("row " + std::to_string(row));
    EXPECT_EQ(cases[row].message, U8(setup::FailureMessage(system, cases[row].failure)));
  }
}

TEST(UncaughtFailureText, NamesKindModulePlaceAndMessage) {
  fake::FakeSystem system;
  // A folder name outside code page 932, and one whose 932 form ends in 0x5C.
  system.ModulePath = "C:\\Users\\브라우저\\表\\Lumidor Install for IE.exe";
  const void* place = reinterpret_cast<const void*>(std::uintptr_t{0x0040A1B5});
  struct Case {
    const char* message;
    const char* text;
  };
  const Case cases[] = {
      {"'Desktop' のデータ型が不正です",
       "RegistryErrorがモジュール Lumidor Install for IE.exe の 0040A1B5 で発生しました。\n"
       "'Desktop' のデータ型が不正です."},
      {"Ends in a stop.",
       "RegistryErrorがモジュール Lumidor Install for IE.exe の 0040A1B5 で発生しました。\n"
       "Ends in a stop."},
      {"", "RegistryErrorがモジュール Lumidor Install for IE.exe の 0040A1B5 で発生しました。\n"},
  };
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    SCOPED_TRACE("row " + std::to_string(row));
    EXPECT_EQ(cases[row].text,
              U8(setup::UncaughtFailureText(system, u"RegistryError", place, U16(cases[row].message))));
  }
}

// The process handler: shown once, with the task-modal error style, exit 1.
int RaiseBadType(platform::SystemServices&) {
  platform::RaiseFailure(Kind::RegistryBadType, u"Desktop");
}
int ThrowStandard(platform::SystemServices&) { throw std::runtime_error("boom"); }
int ThrowOther(platform::SystemServices&) { throw 42; }

TEST(RunWithLastResort, ShowsEveryEscapedFailureAndExitsWithOne) {
  struct Case {
    int (*run)(platform::SystemServices&);
    const char* textStart;
    const char* textEnd;
  };
  const Case cases[] = {
      {&RaiseBadType, "RegistryErrorがモジュール Lumidor Install for IE.exe の ",
       "で発生しました。\n'Desktop' のデータ型が不正です."},
      {&ThrowStandard, "InternalErrorがモジュール Lumidor Install for IE.exe の 00000000 ",
       "で発生しました。\nboom."},
      {&ThrowOther, "InternalErrorがモジュール ", "で発生しました。\n"},
  };
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    SCOPED_TRACE("row " + std::to_string(row));
    fake::FakeSystem system;
    EXPECT_EQ(1, platform::RunWithLastResort(system, cases[row].run));
    ASSERT_EQ(1u, system.Messages.size());
    const auto& shown = system.Messages[0];
    EXPECT_EQ(u"アプリケーション エラー", shown.Caption);
    EXPECT_EQ(0x2010u, shown.Style);
    const std::string text = U8(shown.Text);
    EXPECT_EQ(0u, text.find(cases[row].textStart)) << text;
    const std::string end = cases[row].textEnd;
    ASSERT_GE(text.size(), end.size());
    EXPECT_EQ(end, text.substr(text.size() - end.size())) << text;
  }
}

// The place is a code address inside the program, not an empty field.
TEST(RunWithLastResort, PlaceOfARaisedFailureIsWhereItWasRaised) {
  fake::FakeSystem system;
  try {
    RaiseBadType(system);
  } catch (const SystemFailure& failure) {
    EXPECT_NE(nullptr, failure.Place);
    return;
  }
  FAIL() << "nothing was raised";
}

int ReturnSeven(platform::SystemServices&) { return 7; }

TEST(RunWithLastResort, PassesAnOrdinaryExitCodeThroughSilently) {
  fake::FakeSystem system;
  EXPECT_EQ(7, platform::RunWithLastResort(system, &ReturnSeven));
  EXPECT_TRUE(system.Messages.empty());
}

}  // namespace
