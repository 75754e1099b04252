// Every text the user can see or the system stores. This file is compiled
// with -fexec-charset=CP932, so each literal below becomes code page 932
// bytes while the source stays readable.
#include "setup/texts.h"

#ifndef SETUP_SERVICE_HOST
#error "SETUP_SERVICE_HOST must name the service's host (set by the build)"
#endif

namespace setup {

// The registry keeps the capital S of "MicroSoft" as the key was first written.
const char ExplorerKey[] = "\\Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer";
const char ShellFoldersSection[] = "Shell Folders";
const char DesktopIdent[] = "Desktop";
const char ShortcutFileName[] = "\\Lumidor トップメニュー.lnk";
const char ServiceHost[] = SETUP_SERVICE_HOST;
const char TopMenuArguments[] = "\"http://" SETUP_SERVICE_HOST "/menu1/MenuM0000s1\"";
const char DefaultBrowserPath[] = "C:\\Program Files\\Internet Explorer\\iexplore.exe";
const char BrowserFilter[] = "EXE (*.exe)|*.exe";
const char PopupAllowKey[] = "\\Software\\Microsoft\\Internet Explorer\\New Windows\\Allow";
const char ServicePackText[] = "Service Pack";
const char ServicePack1Text[] = "Service Pack 1";

const char DoneCaption[] = "確認";
const char DoneText[] = "設定が終了しました。";
const char ErrorCaption[] = "エラー";
const char ShortcutFailedText[] =
    "ショートカットの作成に失敗しました。マニュアルを参考に手動で設定してください。";

const char FailureCaption[] = "アプリケーション エラー";
const char FailureFormat[] = "%sがモジュール %s の %p で発生しました。\n%s%s";
const char OleErrorFormat[] = "OLE エラー %.8x";
const char InterfaceMissingText[] = "Interface はサポートされていません";
const char BadDataTypeFormat[] = "'%s' のデータ型が不正です";
const char ReadFailedFormat[] = "'%s' の取得に失敗しました";
const char WriteFailedFormat[] = "'%s' の設定に失敗しました";
const char ComErrorKindName[] = "ComError";
const char InterfaceErrorKindName[] = "InterfaceError";
const char RegistryErrorKindName[] = "RegistryError";
const char OtherErrorKindName[] = "InternalError";

}  // namespace setup
