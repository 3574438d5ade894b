#include "run_folders.h"

#include <windows.h>
#include <aclapi.h>
#include <objbase.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "common/long_path.h"
#include "common/win32_text.h"
#include "selftest/common/guarded_keys.h"
#include "selftest/common/hex_text.h"
#include "selftest/common/process_token.h"

namespace selftest {

namespace {

constexpr int kNameAttempts = 16;

// A well-known group as a SID of its own.
class WellKnownSid {
 public:
  explicit WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    DWORD size = SECURITY_MAX_SID_SIZE;
    if (!CreateWellKnownSid(type, nullptr, sid_, &size)) valid_ = false;
  }
  PSID Get() { return valid_ ? static_cast<PSID>(sid_) : nullptr; }

 private:
  alignas(SID) BYTE sid_[SECURITY_MAX_SID_SIZE] = {};
  bool valid_ = true;
};

// Owner, and the only ones with access: full access, inherited by everything
// made inside, and nothing inherited from the folder above.
class OnlyThese {
 public:
  OnlyThese(PSID owner, const std::vector<PSID>& allowed) {
    DWORD aclSize = sizeof(ACL);
    for (const PSID sid : allowed) aclSize += sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid);
    acl_.resize(aclSize);
    auto* acl = reinterpret_cast<ACL*>(acl_.data());
    valid_ = owner != nullptr && InitializeAcl(acl, aclSize, ACL_REVISION) &&
             InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
             SetSecurityDescriptorOwner(&descriptor_, owner, FALSE) &&
             SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
             SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    for (const PSID sid : allowed) {
      valid_ = valid_ && sid != nullptr &&
               AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                                     FILE_ALL_ACCESS, sid);
    }
  }
  OnlyThese(const OnlyThese&) = delete;
  OnlyThese& operator=(const OnlyThese&) = delete;

  SECURITY_ATTRIBUTES* Attributes() { return valid_ ? &attributes_ : nullptr; }

 private:
  std::vector<BYTE> acl_;
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{sizeof attributes_, &descriptor_, FALSE};
  bool valid_ = false;
};

// Whether the owner of path is owner and nobody but the allowed has access
// to it; a denial is no access.
bool OwnedAndOnlyOpenTo(const std::filesystem::path& path, PSID owner,
                        const std::vector<PSID>& allowed) {
  PSID found = nullptr;
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (owner == nullptr ||
      GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &found, nullptr,
                            &acl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const std::unique_ptr<void, decltype(&LocalFree)> owned(descriptor, LocalFree);
  // No list at all lets everybody in; the owner may always change the list.
  if (acl == nullptr || found == nullptr || !EqualSid(found, owner)) return false;
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(acl, i, &ace)) return false;
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
    PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
    bool known = false;
    for (const PSID allowedSid : allowed) known = known || EqualSid(sid, allowedSid);
    if (!known) return false;
  }
  return true;
}

// Where folders of kind are made: the user's %TEMP%, or the machine's
// program data as the system keeps it (not from the environment, which the
// user's own settings can change).
std::filesystem::path PlaceOf(KitFolder::Kind kind) {
  std::error_code error;
  if (kind == KitFolder::Kind::kRun) {
    std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (error) return {};
    return temp.has_filename() ? temp : temp.parent_path();
  }
  PWSTR folder = nullptr;
  const HRESULT found = SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &folder);
  const std::unique_ptr<void, decltype(&CoTaskMemFree)> owned(folder, CoTaskMemFree);
  return SUCCEEDED(found) ? std::filesystem::path(folder) : std::filesystem::path();
}

// The owner of a folder of kind, and who may open it besides the system.
struct Owners {
  std::vector<BYTE> user = TokenInformationOf(TokenUser);
  WellKnownSid administrators{WinBuiltinAdministratorsSid};
  WellKnownSid system{WinLocalSystemSid};

  PSID Owner(KitFolder::Kind kind) {
    return kind == KitFolder::Kind::kRun ? UserOf(user) : administrators.Get();
  }
  std::vector<PSID> Allowed(KitFolder::Kind kind) { return {Owner(kind), system.Get()}; }
};

// A path the file functions take at any length.
std::wstring Usable(const std::filesystem::path& path) {
  return ExtendedLengthForm(path.wstring()).value_or(path.wstring());
}

bool RemoveEntry(const std::wstring& path, DWORD attributes);

bool RemoveContents(const std::wstring& folder) {
  WIN32_FIND_DATAW entry{};
  const HANDLE found = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry,
                                        FindExSearchNameMatch, nullptr, 0);
  if (found == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  const std::unique_ptr<void, decltype(&FindClose)> search(found, FindClose);
  bool removed = true;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    removed &= RemoveEntry(folder + L"\\" + name, entry.dwFileAttributes);
  } while (FindNextFileW(found, &entry));
  return removed;
}

bool RemoveEntry(const std::wstring& path, DWORD attributes) {
  const bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // A junction or symbolic link: the link itself, never what it points to.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return directory ? RemoveDirectoryW(path.c_str()) != FALSE : DeleteFileW(path.c_str()) != FALSE;
  }
  if (directory) return RemoveContents(path) && RemoveDirectoryW(path.c_str());
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  return DeleteFileW(path.c_str()) != FALSE;
}

}  // namespace

KitFolder::KitFolder(Kind kind) : kind_(kind) {
  const std::filesystem::path place = PlaceOf(kind);
  Owners owners;
  OnlyThese security(owners.Owner(kind), owners.Allowed(kind));
  if (place.empty()) return;
  for (int attempt = 0; attempt < kNameAttempts && !made_; ++attempt) {
    GUID random{};
    CoCreateGuid(&random);
    path_ = place / (kRunFolderPrefix + ToWide(Hex(random.Data1, 8), NarrowEncoding::Utf8));
    made_ = CreateDirectoryW(Usable(path_).c_str(), security.Attributes()) != FALSE;
    if (!made_ && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
}

bool KitFolder::OnlyItsOwnersMayChangeIt() const {
  // Wine keeps no access lists on files: it answers every file with its
  // user as the owner, whatever the folder was made with.
  if (kind_ == Kind::kCardsDll && !WineVersion().empty()) return made_;
  Owners owners;
  return made_ && OwnedAndOnlyOpenTo(path_, owners.Owner(kind_), owners.Allowed(kind_));
}

bool KitFolder::Remove() const {
  return !made_ || RemoveWithoutFollowingLinks(path_);
}

bool RemoveWithoutFollowingLinks(const std::filesystem::path& folder) {
  const std::wstring path = Usable(folder);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
  return RemoveEntry(path, attributes);
}

std::vector<std::filesystem::path> FoldersEarlierRunsLeft(KitFolder::Kind kind) {
  std::vector<std::filesystem::path> folders;
  const std::filesystem::path place = PlaceOf(kind);
  std::error_code error;
  if (place.empty()) return folders;
  Owners owners;
  for (std::filesystem::directory_iterator entry(place, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::wstring name = entry->path().filename().wstring();
    if (name.size() <= std::wstring(kRunFolderPrefix).size() ||
        !name.starts_with(kRunFolderPrefix)) {
      continue;
    }
    // A run folder's journal is put back: only one nobody else could write.
    if (kind == KitFolder::Kind::kRun &&
        !OwnedAndOnlyOpenTo(entry->path(), owners.Owner(kind), owners.Allowed(kind))) {
      continue;
    }
    folders.push_back(entry->path());
  }
  return folders;
}

}  // namespace selftest
