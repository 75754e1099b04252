// The built-in texts are code page 932 bytes; each decodes back to what the
// user must read, and the two that matter most are checked byte for byte.
#include "setup/texts.h"

#include <gtest/gtest.h>

#include "encoding.h"

namespace {

using testing_encoding::ToUtf8;

TEST(Texts, DecodeFromCodePage932) {
  struct Case {
    const char* name;
    const char* bytes;
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
      {"ServicePackText", setup::ServicePackText, "Service Pack"},
      {"ServicePack1Text", setup::ServicePack1Text, "Service Pack 1"},
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
    EXPECT_EQ(c.utf8, ToUtf8(c.bytes, 932)) << c.name;
  }
}

TEST(Texts, AreTheExactBytes) {
  EXPECT_STREQ("\x90\xdd\x92\xe8\x82\xaa\x8f\x49\x97\xb9\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42",
               setup::DoneText);
  EXPECT_STREQ("\x8a\x6d\x94\x46", setup::DoneCaption);
  // トップメニュー: each character two bytes, no byte lost to a separator.
  EXPECT_STREQ("\\Lumidor \x83\x67\x83\x62\x83\x76\x83\x81\x83\x6a\x83\x85\x81\x5b.lnk",
               setup::ShortcutFileName);
}

}  // namespace
