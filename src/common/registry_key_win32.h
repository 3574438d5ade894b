#pragma once

// An open registry key, closed when it goes (Windows only). A key is opened
// in the 32-bit view, the one Ostrel and the simulated card read on 64-bit
// Windows too, unless the access asks for the 64-bit view
// (KEY_WOW64_64KEY).

#include <windows.h>

#include <optional>
#include <string>

class RegistryKey {
 public:
  RegistryKey() = default;
  // Opens name under parent with access; false when that failed.
  static RegistryKey Open(HKEY parent, const std::wstring& name, REGSAM access);
  // Opens name, or creates it with options (REG_OPTION_VOLATILE: gone at the
  // next log-off or restart) and security; any missing key above it is
  // created stable.
  static RegistryKey Create(HKEY parent, const std::wstring& name, REGSAM access = KEY_ALL_ACCESS,
                            DWORD options = REG_OPTION_NON_VOLATILE,
                            SECURITY_ATTRIBUTES* security = nullptr);
  ~RegistryKey();
  RegistryKey(RegistryKey&& other) noexcept;
  RegistryKey& operator=(RegistryKey&& other) noexcept;

  HKEY Get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }
  // How opening or creating it went.
  LSTATUS Status() const { return status_; }

  LSTATUS SetString(const wchar_t* name, const std::wstring& value) const;
  // The value as text; nothing when it is missing or no string.
  std::optional<std::wstring> String(const wchar_t* name) const;
  // Removes subkey with everything below it; one that is gone already is no
  // error.
  LSTATUS DeleteTree(const std::wstring& subkey) const;
  // Whether it holds neither values nor subkeys.
  bool IsEmpty() const;

 private:
  HKEY key_ = nullptr;
  LSTATUS status_ = ERROR_INVALID_HANDLE;
};

// access with the 32-bit view added, unless it names a view itself.
REGSAM InView(REGSAM access);
