#pragma once

// A registry key with everything below it, kept in memory so that the kit
// can put the key back exactly as it found it (Windows only).

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace selftest {

struct RegistryValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  bool operator==(const RegistryValue&) const = default;
};

struct RegistryTree {
  std::map<std::wstring, RegistryValue> values;
  std::map<std::wstring, RegistryTree> subkeys;
  bool operator==(const RegistryTree&) const = default;
};

// A key as found before the kit changed anything: its tree, or nothing when
// it did not exist.
class GuardedKey {
 public:
  GuardedKey(HKEY root, std::wstring rootName, std::wstring path);

  // "HKCU\Software\...", as reg.exe spells it.
  std::wstring Name() const { return rootName_ + L"\\" + path_; }
  // Whether the key is as it was found.
  bool Unchanged() const;
  // Makes it so again; false when the registry refused.
  bool PutBack() const;

 private:
  HKEY root_;
  std::wstring rootName_;
  std::wstring path_;
  std::optional<RegistryTree> found_;
};

}  // namespace selftest
