#include "platform/win32_services.h"

#include "platform/dll_hardening.h"
#include "platform/registry_text.h"

#include <commdlg.h>
#include <objbase.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace platform {

static_assert(kMbOk == MB_OK && kMbIconError == MB_ICONERROR &&
              kMbIconInformation == MB_ICONINFORMATION && kMbTaskModal == MB_TASKMODAL);
static_assert(kOfnHideReadOnly == OFN_HIDEREADONLY && kOfnExplorer == OFN_EXPLORER &&
              kOfnEnableSizing == OFN_ENABLESIZING);
static_assert(kRegSz == REG_SZ && kRegExpandSz == REG_EXPAND_SZ && kRegBinary == REG_BINARY &&
              kRegDword == REG_DWORD);
static_assert(sizeof(OSVERSIONINFOA) == 148);

namespace {

struct LocalMemoryTraits {
  using Handle = wchar_t*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle memory) { LocalFree(memory); }
};

// Most runs never show the dialog, so its DLL (and the many it brings along)
// is loaded only for the dialog's lifetime, from the system folder, after the
// DLL search has been narrowed: not by the loader before the program starts.
class Win32OpenDialog final : public OpenFileDialog {
 public:
  explicit Win32OpenDialog(HWND owner) : owner_(owner), comdlg32_(LoadSystemDll(L"comdlg32.dll")) {}

  std::optional<std::u16string> Execute(const OpenDialogSettings& settings) override {
    using GetOpenFileNameWFn = BOOL(WINAPI*)(OPENFILENAMEW*);
    const auto get_open_file_name = comdlg32_ ? reinterpret_cast<GetOpenFileNameWFn>(reinterpret_cast<void*>(
                                                    GetProcAddress(comdlg32_.get(), "GetOpenFileNameW")))
                                              : nullptr;
    // A dialog that cannot be shown returns no file, as a failed one does.
    if (!get_open_file_name) return std::nullopt;
    std::vector<wchar_t> file(settings.MaxFile, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = settings.OwnedByApplicationWindow ? owner_ : nullptr;
    dialog.lpstrFilter = Wide(settings.Filter);
    dialog.nFilterIndex = settings.FilterIndex;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = settings.MaxFile;
    dialog.lpstrInitialDir = Wide(settings.InitialDir);
    // An empty title must reach the dialog as none at all: given an empty text,
    // some implementations (Wine among them) show a caption-less window.
    dialog.lpstrTitle = settings.Title.empty() ? nullptr : Wide(settings.Title);
    dialog.Flags = settings.Flags;
    if (!get_open_file_name(&dialog)) return std::nullopt;
    // The dialog leaves the path zero-terminated inside the buffer.
    const auto end = std::find(file.begin(), file.end(), L'\0');
    return std::u16string(file.begin(), end);
  }

 private:
  HWND owner_;
  UniqueModule comdlg32_;
};

}  // namespace

bool Win32Services::StartCom() { return SUCCEEDED(CoInitialize(nullptr)); }

void Win32Services::StopCom() { CoUninitialize(); }

std::unique_ptr<RegistryObject> Win32Services::OpenRegistry(std::u16string_view absolutePath) {
  return OpenWin32Registry(absolutePath);
}

bool Win32Services::FileExists(std::u16string_view path) {
  WIN32_FIND_DATAW found{};
  const UniqueFind find(FindFirstFileW(Wide(std::u16string(path)), &found));
  if (!find || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  FILETIME local{};
  WORD date = 0;
  WORD time = 0;
  return FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) &&
         FileTimeToDosDateTime(&local, &date, &time);
}

std::unique_ptr<OpenFileDialog> Win32Services::CreateOpenDialog() {
  return std::make_unique<Win32OpenDialog>(ApplicationWindow());
}

HWND Win32Services::ApplicationWindow() {
  if (!applicationWindow_) {
    // Never shown: it only owns the dialog, as an application's main window would.
    applicationWindow_.reset(CreateWindowExW(0, L"STATIC", L"Lumidor for IE", WS_POPUP, 0, 0, 0, 0,
                                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
  }
  return applicationWindow_.get();
}

void Win32Services::ShowMessage(std::u16string_view text, std::u16string_view caption,
                                std::uint32_t style) {
  MessageBoxW(nullptr, Wide(std::u16string(text)), Wide(std::u16string(caption)), style);
}

std::unique_ptr<ShellLink> Win32Services::CreateShellLink() { return CreateWin32ShellLink(); }

OsVersionRecord Win32Services::QueryOsVersion() {
  OSVERSIONINFOA version{};  // zero-filled, so a failed query reads as "not XP"
  version.dwOSVersionInfoSize = sizeof version;
  OsVersionRecord record;
  record.Succeeded = GetVersionExA(&version) != FALSE;
  record.MajorVersion = version.dwMajorVersion;
  record.MinorVersion = version.dwMinorVersion;
  static_assert(sizeof version.szCSDVersion == sizeof record.CsdVersion);
  std::memcpy(record.CsdVersion.data(), version.szCSDVersion, sizeof version.szCSDVersion);
  return record;
}

std::u16string Win32Services::ModuleFileName() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) return std::u16string(path.begin(), path.begin() + length);
    path.resize(path.size() * 2);  // truncated: try a larger buffer
  }
}

std::optional<std::u16string> Win32Services::SystemErrorText(std::uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const Unique<LocalMemoryTraits> owner(buffer);
  if (length == 0 || !owner) return std::nullopt;
  return std::u16string(owner.get(), owner.get() + length);
}

}  // namespace platform
