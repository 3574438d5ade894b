#include "common/system_library_win32.h"

#include <string>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace {

using SetDefaultDllDirectoriesFunction = BOOL WINAPI(DWORD);

std::wstring SystemFolderPath(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(folder, length) + L"\\" + name;
}

}  // namespace

void RestrictDllSearchToSystemFolder() {
  // Found at run time: Windows 7 has it only with its update KB2533623.
  const SystemLibrary kernel(L"kernel32.dll");
  auto* setDefaultDirectories =
      kernel.Find<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
  if (setDefaultDirectories != nullptr && setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
    return;
  // Without it the program's folder stays first; this takes out the current
  // folder at least, and SystemLibrary names its DLLs by their full paths.
  SetDllDirectoryW(L"");
}

SystemLibrary::SystemLibrary(const wchar_t* name) {
  module_ = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module_ != nullptr) return;
  // Systems without the search flags: the full path, with the search for its
  // dependencies starting in the DLL's own folder rather than the program's.
  const std::wstring path = SystemFolderPath(name);
  if (!path.empty()) module_ = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

SystemLibrary::~SystemLibrary() {
  if (module_ != nullptr) FreeLibrary(module_);
}
