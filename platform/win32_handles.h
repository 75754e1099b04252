// Owners for the Windows handles and COM interfaces the program holds.
#pragma once

#include <windows.h>

#include "platform/unique.h"

namespace platform {

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle key) { RegCloseKey(key); }
};
using UniqueRegKey = Unique<RegKeyTraits>;

struct FindTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle find) { FindClose(find); }
};
using UniqueFind = Unique<FindTraits>;

struct WindowTraits {
  using Handle = HWND;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle window) { DestroyWindow(window); }
};
using UniqueWindow = Unique<WindowTraits>;

struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle module) { FreeLibrary(module); }
};
using UniqueModule = Unique<ModuleTraits>;

template <class Interface>
struct ComTraits {
  using Handle = Interface*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle object) { object->Release(); }
};
template <class Interface>
using ComPtr = Unique<ComTraits<Interface>>;

}  // namespace platform
