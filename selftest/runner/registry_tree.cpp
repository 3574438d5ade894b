#include "registry_tree.h"

#include <algorithm>
#include <utility>

#include "simcard/com/registry_key.h"

namespace selftest {

namespace {

using simcard::com::RegistryKey;

std::vector<BYTE> AccessOf(HKEY key) {
  DWORD size = 0;
  RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
  std::vector<BYTE> descriptor(size);
  if (size == 0 || RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.data(), &size) !=
                       ERROR_SUCCESS) {
    return {};
  }
  return descriptor;
}

RegistryTree Read(HKEY key) {
  RegistryTree tree;
  tree.access = AccessOf(key);
  DWORD subkeys = 0;
  DWORD values = 0;
  DWORD longestSubkey = 0;
  DWORD longestName = 0;
  DWORD longestData = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                       &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS) {
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
      continue;
    }
    value.data.assign(data.begin(), data.begin() + dataLength);
    tree.values.emplace(std::wstring(name.data(), nameLength), std::move(value));
  }
  for (DWORD i = 0; i < subkeys; ++i) {
    auto nameLength = static_cast<DWORD>(name.size());
    if (RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      continue;
    }
    const std::wstring subkey(name.data(), nameLength);
    if (const RegistryKey child = RegistryKey::Open(key, subkey, KEY_READ)) {
      tree.subkeys.emplace(subkey, Read(child.Get()));
    }
  }
  return tree;
}

std::optional<RegistryTree> ReadKey(HKEY root, const std::wstring& path) {
  const RegistryKey key = RegistryKey::Open(root, path, KEY_READ);
  if (!key) return std::nullopt;
  return Read(key.Get());
}

bool Exists(HKEY root, const std::wstring& path) {
  return static_cast<bool>(RegistryKey::Open(root, path, KEY_QUERY_VALUE));
}

// The shortest part of path that names a missing key.
std::wstring FirstMissing(HKEY root, const std::wstring& path) {
  for (std::size_t end = path.find(L'\\'); end != std::wstring::npos;
       end = path.find(L'\\', end + 1)) {
    if (!Exists(root, path.substr(0, end))) return path.substr(0, end);
  }
  return path;
}

// Makes the key under parent hold what tree holds, changing only what
// differs; a key that is missing is made with the access it had.
bool Reconcile(HKEY parent, const std::wstring& name, const RegistryTree& tree) {
  SECURITY_ATTRIBUTES security{
      sizeof security, tree.access.empty() ? nullptr : const_cast<BYTE*>(tree.access.data()),
      FALSE};
  const RegistryKey key =
      RegistryKey::Create(parent, name, KEY_ALL_ACCESS, REG_OPTION_NON_VOLATILE, &security);
  if (!key) return false;
  const RegistryTree now = Read(key.Get());
  bool done = true;
  for (const auto& [valueName, value] : now.values) {
    if (!tree.values.contains(valueName)) {
      done &= RegDeleteValueW(key.Get(), valueName.c_str()) == ERROR_SUCCESS;
    }
  }
  for (const auto& [valueName, value] : tree.values) {
    const auto found = now.values.find(valueName);
    if (found != now.values.end() && found->second == value) continue;
    done &= RegSetValueExW(key.Get(), valueName.c_str(), 0, value.type, value.data.data(),
                           static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
  }
  for (const auto& [subkey, subtree] : now.subkeys) {
    if (!tree.subkeys.contains(subkey)) done &= key.DeleteTree(subkey) == ERROR_SUCCESS;
  }
  for (const auto& [subkey, subtree] : tree.subkeys) done &= Reconcile(key.Get(), subkey, subtree);
  if (now.access != tree.access && !tree.access.empty()) {
    done &= RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION,
                              const_cast<BYTE*>(tree.access.data())) == ERROR_SUCCESS;
  }
  return done;
}

}  // namespace

GuardedKey::GuardedKey(Hive hive, std::wstring path)
    : hive_(hive), path_(std::move(path)), found_(ReadKey(hive_.root, path_)) {
  if (!found_) firstMissing_ = FirstMissing(hive_.root, path_);
}

bool GuardedKey::Unchanged() const {
  return found_ ? ReadKey(hive_.root, path_) == found_ : !Exists(hive_.root, firstMissing_);
}

bool GuardedKey::PutBack() const {
  if (Unchanged()) return true;
  if (found_) return Reconcile(hive_.root, path_, *found_) && Unchanged();
  const LSTATUS removed = RegDeleteTreeW(hive_.root, firstMissing_.c_str());
  return (removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND) && Unchanged();
}

}  // namespace selftest
