#pragma once

// A registry key with everything below it, kept in memory so that the kit
// can put the key back exactly as it found it (Windows only). Each hive is
// read, compared and written on its own, in the 32-bit view.

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
  // Who may do what with the key: its discretionary access list, as a
  // self-relative security descriptor.
  std::vector<BYTE> access;
  bool operator==(const RegistryTree&) const = default;
};

// HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE, with the name reg.exe gives it.
struct Hive {
  HKEY root;
  const wchar_t* name;
};
inline const Hive kUserHive{HKEY_CURRENT_USER, L"HKCU"};
inline const Hive kMachineHive{HKEY_LOCAL_MACHINE, L"HKLM"};

// A key as found before the kit changed anything: its tree, or nothing when
// it did not exist (and then the first key on its path that did not).
class GuardedKey {
 public:
  GuardedKey(Hive hive, std::wstring path);

  // "HKCU\Software\...".
  std::wstring Name() const { return std::wstring(hive_.name) + L"\\" + path_; }
  // Whether the key is as it was found.
  bool Unchanged() const;
  // Makes it so again, changing only what differs, so that the keys that
  // stayed keep their security; false when the registry refused.
  bool PutBack() const;

 private:
  Hive hive_;
  std::wstring path_;
  std::optional<RegistryTree> found_;
  // Without a key found: the first key on its path that was missing too,
  // removed again with everything a run made below it.
  std::wstring firstMissing_;
};

}  // namespace selftest
