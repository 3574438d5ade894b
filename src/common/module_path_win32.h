#pragma once

// Where a program or DLL was loaded from (Windows only).

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

// The full path of module, the program itself when it is null; empty when
// the system cannot tell.
inline std::filesystem::path ModulePath(HMODULE module) {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return std::wstring(path.data(), length);
    path.resize(path.size() * 2);
  }
}

// The folder the program was started from.
inline std::filesystem::path ProgramFolder() {
  return ModulePath(nullptr).parent_path();
}
