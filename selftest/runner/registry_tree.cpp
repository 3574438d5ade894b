#include "registry_tree.h"

#include <algorithm>
#include <utility>

#include "simcard/com/registry_key.h"

namespace selftest {

namespace {

using simcard::com::RegistryKey;

RegistryTree Read(HKEY key) {
  RegistryTree tree;
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
    if (const RegistryKey child(key, subkey, KEY_READ, false); child) {
      tree.subkeys.emplace(subkey, Read(child.Get()));
    }
  }
  return tree;
}

std::optional<RegistryTree> ReadKey(HKEY root, const std::wstring& path) {
  const RegistryKey key(root, path, KEY_READ, false);
  if (!key) return std::nullopt;
  return Read(key.Get());
}

bool Write(HKEY parent, const std::wstring& name, const RegistryTree& tree) {
  const RegistryKey key(parent, name, KEY_ALL_ACCESS, true);
  if (!key) return false;
  bool written = true;
  for (const auto& [valueName, value] : tree.values) {
    written &= RegSetValueExW(key.Get(), valueName.c_str(), 0, value.type, value.data.data(),
                              static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
  }
  for (const auto& [subkey, subtree] : tree.subkeys) written &= Write(key.Get(), subkey, subtree);
  return written;
}

}  // namespace

GuardedKey::GuardedKey(HKEY root, std::wstring rootName, std::wstring path)
    : root_(root),
      rootName_(std::move(rootName)),
      path_(std::move(path)),
      found_(ReadKey(root_, path_)) {}

bool GuardedKey::Unchanged() const {
  return ReadKey(root_, path_) == found_;
}

bool GuardedKey::PutBack() const {
  if (Unchanged()) return true;
  const LSTATUS removed = RegDeleteTreeW(root_, path_.c_str());
  if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) return false;
  return (!found_ || Write(root_, path_, *found_)) && Unchanged();
}

}  // namespace selftest
