// Every text the user can see or the system stores, written in UTF-8 and
// compiled to UTF-16 literals.
#include "setup/texts.h"

#ifndef SETUP_SERVICE_HOST
#error "SETUP_SERVICE_HOST must name the service's host (set by the build)"
#endif

namespace setup {

// The registry keeps the capital S of "MicroSoft" as the key was first written.
const char16_t ExplorerKey[] = u"\\Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer";
const char16_t ShellFoldersSection[] = u"Shell Folders";
const char16_t DesktopIdent[] = u"Desktop";
const char16_t ShortcutFileName[] = u"\\Lumidor トップメニュー.lnk";
const char16_t ServiceHost[] = u"" SETUP_SERVICE_HOST;
const char16_t TopMenuArguments[] = u"\"http://" SETUP_SERVICE_HOST "/menu1/MenuM0000s1\"";
const char16_t DefaultBrowserPath[] = u"C:\\Program Files\\Internet Explorer\\iexplore.exe";
const char16_t BrowserFilter[] = u"EXE (*.exe)|*.exe";
const char16_t PopupAllowKey[] = u"\\Software\\Microsoft\\Internet Explorer\\New Windows\\Allow";
const char ServicePackText[] = "Service Pack";
const char ServicePack1Text[] = "Service Pack 1";

const char16_t DoneCaption[] = u"確認";
const char16_t DoneText[] = u"設定が終了しました。";
const char16_t ErrorCaption[] = u"エラー";
const char16_t ShortcutFailedText[] =
    u"ショートカットの作成に失敗しました。マニュアルを参考に手動で設定してください。";

const char16_t FailureCaption[] = u"アプリケーション エラー";
const char16_t FailureFormat[] = u"%sがモジュール %s の %p で発生しました。\n%s%s";
const char16_t OleErrorFormat[] = u"OLE エラー %.8x";
const char16_t InterfaceMissingText[] = u"Interface はサポートされていません";
const char16_t BadDataTypeFormat[] = u"'%s' のデータ型が不正です";
const char16_t ReadFailedFormat[] = u"'%s' の取得に失敗しました";
const char16_t WriteFailedFormat[] = u"'%s' の設定に失敗しました";
const char16_t ComErrorKindName[] = u"ComError";
const char16_t InterfaceErrorKindName[] = u"InterfaceError";
const char16_t RegistryErrorKindName[] = u"RegistryError";
const char16_t OtherErrorKindName[] = u"InternalError";

}  // namespace setup
