#pragma once

// An open registry key, closed when it goes (Windows only).

#include <windows.h>

#include <string>

namespace simcard::com {

class RegistryKey {
 public:
  // Opens name under parent with access, or creates it when create is set;
  // false when that failed.
  RegistryKey(HKEY parent, const std::wstring& name, REGSAM access, bool create = false) {
    const LSTATUS status = create ? RegCreateKeyExW(parent, name.c_str(), 0, nullptr, 0, access,
                                                    nullptr, &key_, nullptr)
                                  : RegOpenKeyExW(parent, name.c_str(), 0, access, &key_);
    if (status != ERROR_SUCCESS) key_ = nullptr;
  }
  ~RegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  HKEY Get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace simcard::com
