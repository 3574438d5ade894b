#pragma once

// Registry keys as the kit reads them (Windows only): where a key is (its
// hive, view and path), and a key with everything below it, security
// included, to compare one moment with another. Each hive is read on its
// own, never through the merged HKEY_CLASSES_ROOT.

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace selftest {

// HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE, with the name reg.exe gives it.
struct Hive {
  HKEY root;
  const wchar_t* name;
};
inline const Hive kUserHive{HKEY_CURRENT_USER, L"HKCU"};
inline const Hive kMachineHive{HKEY_LOCAL_MACHINE, L"HKLM"};

// A key: its hive, the registry view it is named in (KEY_WOW64_32KEY, the
// one the kit's 32-bit programs see, or KEY_WOW64_64KEY) and its path there.
struct RegistryPlace {
  Hive hive = kUserHive;
  REGSAM view = KEY_WOW64_32KEY;
  std::wstring path = {};

  // "HKCU\Software\...", with " (64-bit view)" where that is the view.
  std::wstring Name() const;
  RegistryPlace Below(const std::wstring& name) const;
  // Whether this is other or a key below it.
  bool IsAtOrBelow(const RegistryPlace& other) const;
  // Whether this is a key above other.
  bool IsAbove(const RegistryPlace& other) const;
  bool operator==(const RegistryPlace& other) const;
};

struct RegistryValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data = {};
  bool operator==(const RegistryValue&) const = default;
};

struct RegistryTree {
  std::map<std::wstring, RegistryValue> values = {};
  std::map<std::wstring, RegistryTree> subkeys = {};
  // Owner, group and access list, as a self-relative security descriptor.
  std::vector<BYTE> security = {};
  // False where the key, or a part of it, could not be read.
  bool readable = true;
  bool operator==(const RegistryTree&) const = default;
};

// What is at place: nothing when no key is there; unreadable parts marked.
std::optional<RegistryTree> ReadTree(const RegistryPlace& place);
// Whether every part of the tree could be read.
bool WhollyReadable(const RegistryTree& tree);

// How a key is now: whether it is there, and whether it could be asked.
enum class KeyState { kPresent, kAbsent, kUnreadable };
KeyState StateOf(const RegistryPlace& place);

// The value name of key: nothing when it is absent; status says whether it
// could be read (ERROR_SUCCESS, or ERROR_FILE_NOT_FOUND for an absent value
// or key).
std::optional<RegistryValue> ReadValue(HKEY key, const std::wstring& name, LSTATUS& status);
std::optional<RegistryValue> ReadValue(const RegistryPlace& key, const std::wstring& name,
                                       LSTATUS& status);

// Renames key, with everything below it, to newName beside it, as
// RegRenameKey does (Windows Vista and later): it needs the right to delete
// every key below it.
LSTATUS RenameKeyInPlace(const RegistryPlace& key, const std::wstring& newName);

// What SecurityOf reads, and RegSetKeySecurity sets again.
inline constexpr SECURITY_INFORMATION kOwnerGroupAccess =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// The owner, group and access list of key (opened with READ_CONTROL); empty
// when they cannot be read.
std::vector<BYTE> SecurityOf(HKEY key);

}  // namespace selftest
