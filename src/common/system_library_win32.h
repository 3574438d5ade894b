#pragma once

// Where Ostrel's DLLs come from (Windows only). Windows looks in the
// program's own folder first for every DLL that is not one of its known
// DLLs, and operators run Ostrel from a Downloads folder or a USB stick: a
// DLL lying there must never be loaded.

#include <windows.h>

// Restricts the DLL search of the whole process to the system folder. The
// first thing the program does.
void RestrictDllSearchToSystemFolder();

// A DLL of the system folder, loaded at run time and freed when the object
// goes; its own dependencies come from the system folder too.
class SystemLibrary {
 public:
  explicit SystemLibrary(const wchar_t* name);
  ~SystemLibrary();
  SystemLibrary(const SystemLibrary&) = delete;
  SystemLibrary& operator=(const SystemLibrary&) = delete;

  explicit operator bool() const { return module_ != nullptr; }
  // The exported function, null when the DLL or the function is missing.
  template <typename Function>
  Function* Find(const char* name) const {
    return module_ == nullptr ? nullptr
                              : reinterpret_cast<Function*>(
                                    reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

 private:
  HMODULE module_ = nullptr;
};
