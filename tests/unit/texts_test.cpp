// The built-in texts are UTF-16; each is exactly what the user must read, and
// each still has the code page 932 form it has always had, byte for byte, so
// the program reads the same as before on a Japanese system.
#include "setup/texts.h"

#include <gtest/gtest.h>

#include "encoding.h"

namespace {

using testing_encoding::FromUtf8;
using testing_encoding::U8;

TEST(Texts, AreTheCharactersTheUserReads) {
  struct Case {
    const char* name;
    const char16_t* text;
    std::string utf8;
  };
  const std::string host = TEST_SERVICE_HOST;
  const Case cases[] = {
      {"ExplorerKey", setup::ExplorerKey, "\\Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer"},
      {"ShellFoldersSection", setup::ShellFoldersSection, "Shell Folders"},
      {"DesktopIdent", setup::DesktopIdent, "Desktop"},
      {"ShortcutFileName", setup::ShortcutFileName, "\\Lumidor トップメニュー.lnk"},
      {"ServiceHost", setup::ServiceHost, host},
      {"TopMenuArguments", setup::TopMenuArguments, "\"http://" + host + "/menu1/MenuM0000s1\""},
      {"DefaultBrowserPath", setup::DefaultBrowserPath,
       "C:\\Program Files\\Internet Explorer\\iexplore.exe"},
      {"BrowserFilter", setup::BrowserFilter, "EXE (*.exe)|*.exe"},
      {"PopupAllowKey", setup::PopupAllowKey,
       "\\Software\\Microsoft\\Internet Explorer\\New Windows\\Allow"},
      {"DoneCaption", setup::DoneCaption, "確認"},
      {"DoneText", setup::DoneText, "設定が終了しました。"},
      {"ErrorCaption", setup::ErrorCaption, "エラー"},
      {"ShortcutFailedText", setup::ShortcutFailedText,
       "ショートカットの作成に失敗しました。マニュアルを参考に手動で設定してください。"},
      {"FailureCaption", setup::FailureCaption, "アプリケーション エラー"},
      {"FailureFormat", setup::FailureFormat, "%sがモジュール %s の %p で発生しました。\n%s%s"},
      {"OleErrorFormat", setup::OleErrorFormat, "OLE エラー %.8x"},
      {"InterfaceMissingText", setup::InterfaceMissingText, "Interface はサポートされていません"},
      {"BadDataTypeFormat", setup::BadDataTypeFormat, "'%s' のデータ型が不正です"},
      {"ReadFailedFormat", setup::ReadFailedFormat, "'%s' の取得に失敗しました"},
      {"WriteFailedFormat", setup::WriteFailedFormat, "'%s' の設定に失敗しました"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.utf8, U8(c.text)) << c.name;
    // Every one has a code page 932 form (throws when a character has none).
    EXPECT_NO_THROW(FromUtf8(U8(c.text), 932)) << c.name;
  }
  // The service-pack texts are searched for in the ANSI version record.
  EXPECT_STREQ("Service Pack", setup::ServicePackText);
  EXPECT_STREQ("Service Pack 1", setup::ServicePack1Text);
}

// The code page 932 bytes the texts have always had.
TEST(Texts, InCodePage932AreTheExactBytes) {
  struct Case {
    const char* name;
    const char16_t* text;
    const char* bytes;
  };
  const Case cases[] = {
      {"DoneText", setup::DoneText,
       "\x90\xdd\x92\xe8\x82\xaa\x8f\x49\x97\xb9\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42"},
      {"DoneCaption", setup::DoneCaption, "\x8a\x6d\x94\x46"},
      {"ErrorCaption", setup::ErrorCaption, "\x83\x47\x83\x89\x81\x5b"},
      {"ShortcutFailedText", setup::ShortcutFailedText,
       "\x83\x56\x83\x87\x81\x5b\x83\x67\x83\x4a\x83\x62\x83\x67\x82\xcc\x8d\xec\x90\xac\x82\xc9"
       "\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\x83\x7d\x83\x6a\x83\x85\x83\x41"
       "\x83\x8b\x82\xf0\x8e\x51\x8d\x6c\x82\xc9\x8e\xe8\x93\xae\x82\xc5\x90\xdd\x92\xe8\x82\xb5"
       "\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81\x42"},
      {"FailureCaption", setup::FailureCaption,
       "\x83\x41\x83\x76\x83\x8a\x83\x50\x81\x5b\x83\x56\x83\x87\x83\x93 \x83\x47\x83\x89\x81\x5b"},
      // トップメニュー: each character two bytes.
      {"ShortcutFileName", setup::ShortcutFileName,
       "\\Lumidor \x83\x67\x83\x62\x83\x76\x83\x81\x83\x6a\x83\x85\x81\x5b.lnk"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(std::string(c.bytes), FromUtf8(U8(c.text), 932)) << c.name;
  }
}

}  // namespace
