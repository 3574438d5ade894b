#include "selftest/common/registry_tree.h"

#include <algorithm>
#include <utility>

#include "common/registry_key_win32.h"
#include "common/system_library_win32.h"

namespace selftest {

namespace {

// Registry names compare as the registry compares them: without case.
bool SameNames(const std::wstring& a, const std::wstring& b, std::size_t length) {
  return a.size() >= length && b.size() >= length &&
         CompareStringOrdinal(a.c_str(), static_cast<int>(length), b.c_str(),
                              static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

bool SameKey(const RegistryPlace& a, const RegistryPlace& b) {
  return a.hive.root == b.hive.root && a.view == b.view;
}

// Every open below a key names the key's view again: a handle does not keep
// it for its subkeys.
RegistryTree Read(HKEY key, REGSAM view) {
  RegistryTree tree;
  tree.security = SecurityOf(key);
  DWORD subkeys = 0;
  DWORD values = 0;
  DWORD longestSubkey = 0;
  DWORD longestName = 0;
  DWORD longestData = 0;
  if (tree.security.empty() ||
      RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                       &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS) {
    tree.readable = false;
    return tree;
  }
  std::vector<wchar_t> name(std::max(longestName, longestSubkey) + 1);
  std::vector<BYTE> data(longestData);
  for (DWORD i = 0; i < values; ++i) {
    auto nameLength = static_cast<DWORD>(name.size());
    auto dataLength = static_cast<DWORD>(data.size());
    RegistryValue value;
    if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &value.type, data.data(),
                      &dataLength) != ERROR_SUCCESS) {
      tree.readable = false;
      continue;
    }
    value.data.assign(data.begin(), data.begin() + dataLength);
    tree.values.emplace(std::wstring(name.data(), nameLength), std::move(value));
  }
  for (DWORD i = 0; i < subkeys; ++i) {
    auto nameLength = static_cast<DWORD>(name.size());
    if (RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      tree.readable = false;
      continue;
    }
    const std::wstring subkey(name.data(), nameLength);
    const RegistryKey child = RegistryKey::Open(key, subkey, KEY_READ | view);
    RegistryTree read = child ? Read(child.Get(), view) : RegistryTree{.readable = false};
    tree.subkeys.emplace(subkey, std::move(read));
  }
  return tree;
}

}  // namespace

std::wstring RegistryPlace::Name() const {
  return std::wstring(hive.name) + L"\\" + path +
         (view == KEY_WOW64_64KEY ? L" (64-bit view)" : L"");
}

RegistryPlace RegistryPlace::Below(const std::wstring& name) const {
  return {hive, view, path + L"\\" + name};
}

bool RegistryPlace::IsAtOrBelow(const RegistryPlace& other) const {
  if (!SameKey(*this, other)) return false;
  if (path.size() == other.path.size()) return SameNames(path, other.path, path.size());
  return path.size() > other.path.size() && path[other.path.size()] == L'\\' &&
         SameNames(path, other.path, other.path.size());
}

bool RegistryPlace::IsAbove(const RegistryPlace& other) const {
  return other.IsAtOrBelow(*this) && !IsAtOrBelow(other);
}

bool RegistryPlace::operator==(const RegistryPlace& other) const {
  return IsAtOrBelow(other) && other.IsAtOrBelow(*this);
}

std::optional<RegistryTree> ReadTree(const RegistryPlace& place) {
  const RegistryKey key = RegistryKey::Open(place.hive.root, place.path, KEY_READ | place.view);
  if (key) return Read(key.Get(), place.view);
  if (key.Status() == ERROR_FILE_NOT_FOUND) return std::nullopt;
  return RegistryTree{.readable = false};
}

bool WhollyReadable(const RegistryTree& tree) {
  return tree.readable &&
         std::all_of(tree.subkeys.begin(), tree.subkeys.end(),
                     [](const auto& subkey) { return WhollyReadable(subkey.second); });
}

KeyState StateOf(const RegistryPlace& place) {
  const RegistryKey key = RegistryKey::Open(place.hive.root, place.path, KEY_READ | place.view);
  if (key) return KeyState::kPresent;
  return key.Status() == ERROR_FILE_NOT_FOUND ? KeyState::kAbsent : KeyState::kUnreadable;
}

std::optional<RegistryValue> ReadValue(HKEY key, const std::wstring& name, LSTATUS& status) {
  DWORD size = 0;
  RegistryValue value;
  status = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size);
  while (status == ERROR_SUCCESS) {
    value.data.resize(size);
    status = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.data.data(), &size);
    if (status == ERROR_SUCCESS) {
      value.data.resize(size);
      return value;
    }
    if (status == ERROR_MORE_DATA) status = ERROR_SUCCESS;  // it grew meanwhile
  }
  return std::nullopt;
}

std::optional<RegistryValue> ReadValue(const RegistryPlace& key, const std::wstring& name,
                                       LSTATUS& status) {
  const RegistryKey opened = RegistryKey::Open(key.hive.root, key.path, KEY_QUERY_VALUE | key.view);
  status = opened.Status();
  return opened ? ReadValue(opened.Get(), name, status) : std::nullopt;
}

LSTATUS RenameKeyInPlace(const RegistryPlace& key, const std::wstring& newName) {
  using RenameFunction = LSTATUS WINAPI(HKEY, LPCWSTR, LPCWSTR);
  // Missing from some SDKs' headers.
  const SystemLibrary advapi(L"advapi32.dll");
  auto* const rename = advapi.Find<RenameFunction>("RegRenameKey");
  if (rename == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  const std::size_t split = key.path.rfind(L'\\');
  const RegistryKey parent =
      RegistryKey::Open(key.hive.root, key.path.substr(0, split), KEY_ALL_ACCESS | key.view);
  if (!parent) return parent.Status();
  return rename(parent.Get(), key.path.substr(split + 1).c_str(), newName.c_str());
}

std::vector<BYTE> SecurityOf(HKEY key) {
  DWORD size = 0;
  RegGetKeySecurity(key, kOwnerGroupAccess, nullptr, &size);
  std::vector<BYTE> descriptor(size);
  if (size == 0 ||
      RegGetKeySecurity(key, kOwnerGroupAccess, descriptor.data(), &size) != ERROR_SUCCESS) {
    return {};
  }
  descriptor.resize(size);
  return descriptor;
}

}  // namespace selftest
