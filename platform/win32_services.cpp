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
static_assert(kAnsiCodePage == CP_ACP);
static_assert(kRegSz == REG_SZ && kRegExpandSz == REG_EXPAND_SZ && kRegBinary == REG_BINARY &&
              kRegDword == REG_DWORD);
static_assert(sizeof(OSVERSIONINFOA) == 148);

namespace {

struct LocalMemoryTraits {
  using Handle = char*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle memory) { LocalFree(memory); }
};

// Most runs never show the dialog, so its DLL (and the many it brings along)
// is loaded only for the dialog's lifetime, from the system folder, after the
// DLL search has been narrowed: not by the loader before the program starts.
class Win32OpenDialog final : public OpenFileDialog {
 public:
  explicit Win32OpenDialog(HWND owner) : owner_(owner), comdlg32_(LoadSystemDll(L"comdlg32.dll")) {}

  std::optional<std::string> Execute(const OpenDialogSettings& settings) override {
    using GetOpenFileNameAFn = BOOL(WINAPI*)(OPENFILENAMEA*);
    const auto get_open_file_name = comdlg32_ ? reinterpret_cast<GetOpenFileNameAFn>(reinterpret_cast<void*>(
                                                    GetProcAddress(comdlg32_.get(), "GetOpenFileNameA")))
                                              : nullptr;
    // A dialog that cannot be shown returns no file, as a failed one does.
    if (!get_open_file_name) return std::nullopt;
    std::vector<char> file(settings.MaxFile, '\0');
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = settings.OwnedByApplicationWindow ? owner_ : nullptr;
    dialog.lpstrFilter = settings.Filter.c_str();
    dialog.nFilterIndex = settings.FilterIndex;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = settings.MaxFile;
    dialog.lpstrInitialDir = settings.InitialDir.c_str();
    // An empty title must reach the dialog as none at all: given an empty text,
    // some implementations (Wine among them) show a caption-less window.
    dialog.lpstrTitle = settings.Title.empty() ? nullptr : settings.Title.c_str();
    dialog.Flags = settings.Flags;
    if (!get_open_file_name(&dialog)) return std::nullopt;
    // The dialog leaves the path zero-terminated inside the buffer.
    return std::string(file.data(), std::find(file.begin(), file.end(), '\0') - file.begin());
  }

 private:
  HWND owner_;
  UniqueModule comdlg32_;
};

}  // namespace

bool Win32Services::StartCom() { return SUCCEEDED(CoInitialize(nullptr)); }

void Win32Services::StopCom() { CoUninitialize(); }

std::unique_ptr<RegistryObject> Win32Services::OpenRegistry(std::string_view absolutePath) {
  return OpenWin32Registry(absolutePath);
}

bool Win32Services::FileExists(std::string_view path) {
  WIN32_FIND_DATAA found{};
  const UniqueFind find(FindFirstFileA(std::string(path).c_str(), &found));
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
    applicationWindow_.reset(CreateWindowExA(0, "STATIC", "Lumidor for IE", WS_POPUP, 0, 0, 0, 0,
                                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
  }
  return applicationWindow_.get();
}

void Win32Services::ShowMessage(std::string_view text, std::string_view caption,
                                std::uint32_t style) {
  MessageBoxA(nullptr, std::string(text).c_str(), std::string(caption).c_str(), style);
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

std::bitset<256> Win32Services::AnsiLeadBytes() {
  std::bitset<256> lead;
  CPINFO info{};
  if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize < 2) return lead;
  for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
    for (int b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) lead.set(b);
  }
  return lead;
}

std::u16string Win32Services::Widen(std::string_view bytes, unsigned codePage) {
  if (bytes.empty()) return {};
  const int length = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), length, wide.data(), needed);
  return std::u16string(wide.begin(), wide.end());
}

std::string Win32Services::ModuleFileName() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // truncated: try a larger buffer
  }
}

std::optional<std::string> Win32Services::SystemErrorText(std::uint32_t code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  const Unique<LocalMemoryTraits> owner(buffer);
  if (length == 0 || !owner) return std::nullopt;
  return std::string(owner.get(), length);
}

}  // namespace platform
