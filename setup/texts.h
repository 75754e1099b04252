// The program's built-in texts, as code page 932 bytes.
#pragma once

namespace setup {

extern const char ExplorerKey[];
extern const char ShellFoldersSection[];
extern const char DesktopIdent[];
extern const char ShortcutFileName[];
extern const char ServiceHost[];
extern const char TopMenuArguments[];
extern const char DefaultBrowserPath[];
extern const char BrowserFilter[];
extern const char PopupAllowKey[];
extern const char ServicePackText[];
extern const char ServicePack1Text[];

extern const char DoneCaption[];
extern const char DoneText[];
extern const char ErrorCaption[];
extern const char ShortcutFailedText[];

// The uncaught-failure message and the names of what it reports.
extern const char FailureCaption[];
extern const char FailureFormat[];
extern const char OleErrorFormat[];
extern const char InterfaceMissingText[];
extern const char BadDataTypeFormat[];
extern const char ReadFailedFormat[];
extern const char WriteFailedFormat[];
extern const char ComErrorKindName[];
extern const char InterfaceErrorKindName[];
extern const char RegistryErrorKindName[];
extern const char OtherErrorKindName[];

}  // namespace setup
