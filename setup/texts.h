// The program's built-in texts, in UTF-16 as Windows takes them. They are
// held as UTF-16 literals, so that showing them needs no code page at all
// (the Japanese one is optional on some Western systems).
#pragma once

namespace setup {

extern const char16_t ExplorerKey[];
extern const char16_t ShellFoldersSection[];
extern const char16_t DesktopIdent[];
extern const char16_t ShortcutFileName[];
extern const char16_t ServiceHost[];
extern const char16_t TopMenuArguments[];
extern const char16_t DefaultBrowserPath[];
extern const char16_t BrowserFilter[];
extern const char16_t PopupAllowKey[];
// Looked for in the OS version record's service-pack text, which is ANSI
// (and ASCII wherever it says "Service Pack").
extern const char ServicePackText[];
extern const char ServicePack1Text[];

extern const char16_t DoneCaption[];
extern const char16_t DoneText[];
extern const char16_t ErrorCaption[];
extern const char16_t ShortcutFailedText[];

// The uncaught-failure message and the names of what it reports.
extern const char16_t FailureCaption[];
extern const char16_t FailureFormat[];
extern const char16_t OleErrorFormat[];
extern const char16_t InterfaceMissingText[];
extern const char16_t BadDataTypeFormat[];
extern const char16_t ReadFailedFormat[];
extern const char16_t WriteFailedFormat[];
extern const char16_t ComErrorKindName[];
extern const char16_t InterfaceErrorKindName[];
extern const char16_t RegistryErrorKindName[];
extern const char16_t OtherErrorKindName[];

}  // namespace setup
