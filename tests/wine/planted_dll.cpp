// A DLL to plant next to a program under test, named like a system DLL that the
// program gets loaded by name late in its run. It does nothing but leave a
// marker file beside itself ("<its own path>.loaded") when a process loads it,
// so the test can tell whether it, and not the system's DLL, was loaded.
#include <windows.h>

#include <cwchar>

#include "platform/unique.h"

namespace {

struct FileTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle file) { CloseHandle(file); }
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  static const wchar_t kSuffix[] = L".loaded";
  wchar_t path[MAX_PATH + sizeof kSuffix / sizeof kSuffix[0]];
  const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  std::wcscpy(path + length, kSuffix);
  platform::Unique<FileTraits> marker(
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return TRUE;
}
