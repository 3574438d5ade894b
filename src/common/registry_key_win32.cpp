#include "common/registry_key_win32.h"

#include <utility>
#include <vector>

REGSAM InView(REGSAM access) {
  return (access & KEY_WOW64_RES) != 0 ? access : access | KEY_WOW64_32KEY;
}

RegistryKey RegistryKey::Open(HKEY parent, const std::wstring& name, REGSAM access) {
  RegistryKey key;
  key.status_ = RegOpenKeyExW(parent, name.c_str(), 0, InView(access), &key.key_);
  if (key.status_ != ERROR_SUCCESS) key.key_ = nullptr;
  return key;
}

RegistryKey RegistryKey::Create(HKEY parent, const std::wstring& name, REGSAM access, DWORD options,
                                SECURITY_ATTRIBUTES* security) {
  RegistryKey key;
  key.status_ = RegCreateKeyExW(parent, name.c_str(), 0, nullptr, options, InView(access), security,
                                &key.key_, nullptr);
  if (key.status_ != ERROR_SUCCESS) key.key_ = nullptr;
  return key;
}

RegistryKey::~RegistryKey() {
  if (key_ != nullptr) RegCloseKey(key_);
}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : key_(std::exchange(other.key_, nullptr)), status_(other.status_) {}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
  if (this != &other) {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = std::exchange(other.key_, nullptr);
    status_ = other.status_;
  }
  return *this;
}

LSTATUS RegistryKey::SetString(const wchar_t* name, const std::wstring& value) const {
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
}

std::optional<std::wstring> RegistryKey::String(const wchar_t* name) const {
  DWORD bytes = 0;
  if (RegGetValueW(key_, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1);
  bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegGetValueW(key_, nullptr, name, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(text.data());
}

LSTATUS RegistryKey::DeleteTree(const std::wstring& subkey) const {
  const LSTATUS status = RegDeleteTreeW(key_, subkey.c_str());
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

bool RegistryKey::IsEmpty() const {
  DWORD subkeys = 0;
  DWORD values = 0;
  return RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                          nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys == 0 && values == 0;
}
