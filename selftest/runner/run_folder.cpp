#include "run_folder.h"

#include <windows.h>
#include <aclapi.h>
#include <objbase.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/long_path.h"
#include "common/win32_handle.h"

namespace selftest {

namespace {

constexpr int kNameAttempts = 16;

// The user this process runs as, as a TOKEN_USER.
std::vector<BYTE> TokenUser() {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return {};
  const Win32Handle token(opened);
  DWORD size = 0;
  GetTokenInformation(token.Get(), ::TokenUser, nullptr, 0, &size);
  std::vector<BYTE> user(size);
  if (size == 0 || !GetTokenInformation(token.Get(), ::TokenUser, user.data(), size, &size)) {
    return {};
  }
  return user;
}

PSID UserSid(std::vector<BYTE>& tokenUser) {
  return tokenUser.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid;
}

// Owner and only user: full access for the user, inherited by everything
// made inside, and nothing inherited from %TEMP%.
class OwnerOnly {
 public:
  explicit OwnerOnly(PSID user) {
    const auto aclSize =
        static_cast<DWORD>(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(user));
    acl_.resize(aclSize);
    auto* acl = reinterpret_cast<ACL*>(acl_.data());
    valid_ = InitializeAcl(acl, aclSize, ACL_REVISION) &&
             AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                                   FILE_ALL_ACCESS, user) &&
             InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
             SetSecurityDescriptorOwner(&descriptor_, user, FALSE) &&
             SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
             SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  }
  OwnerOnly(const OwnerOnly&) = delete;
  OwnerOnly& operator=(const OwnerOnly&) = delete;

  SECURITY_ATTRIBUTES* Attributes() { return valid_ ? &attributes_ : nullptr; }

 private:
  std::vector<BYTE> acl_;
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{sizeof attributes_, &descriptor_, FALSE};
  bool valid_ = false;
};

std::wstring RandomSuffix() {
  GUID random{};
  CoCreateGuid(&random);
  wchar_t text[9];
  std::swprintf(text, 9, L"%08lX", static_cast<unsigned long>(random.Data1));
  return text;
}

// A path the file functions take at any length.
std::wstring Usable(const std::filesystem::path& path) {
  return ExtendedLengthForm(path.wstring()).value_or(path.wstring());
}

bool IsSystem(PSID sid) {
  return IsWellKnownSid(sid, WinLocalSystemSid) != FALSE;
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

RunFolder::RunFolder() {
  std::error_code error;
  const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
  std::vector<BYTE> user = TokenUser();
  if (error || UserSid(user) == nullptr) return;
  OwnerOnly security(UserSid(user));
  for (int attempt = 0; attempt < kNameAttempts && !made_; ++attempt) {
    path_ = temp / (kRunFolderPrefix + RandomSuffix());
    made_ = CreateDirectoryW(Usable(path_).c_str(), security.Attributes()) != FALSE;
    if (!made_ && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  tempMade_ = made_ && CreateDirectoryW(Usable(Temp()).c_str(), nullptr);
}

bool RunFolder::Private() const {
  std::vector<BYTE> user = TokenUser();
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (UserSid(user) == nullptr ||
      GetNamedSecurityInfoW(path_.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const std::unique_ptr<void, decltype(&LocalFree)> owned(descriptor, LocalFree);
  // No list at all lets everybody in.
  if (acl == nullptr) return false;
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(acl, i, &ace)) return false;
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
    PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
    if (!EqualSid(sid, UserSid(user)) && !IsSystem(sid)) return false;
  }
  return true;
}

bool RunFolder::Remove() const {
  return !made_ || RemoveWithoutFollowingLinks(path_);
}

bool RemoveWithoutFollowingLinks(const std::filesystem::path& folder) {
  const std::wstring path = Usable(folder);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
  return RemoveEntry(path, attributes);
}

bool IsRunFolderInTemp(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::path temp = std::filesystem::temp_directory_path(error);
  if (error) return false;
  if (!temp.has_filename()) temp = temp.parent_path();
  const std::wstring name = folder.filename().wstring();
  const std::wstring prefix = kRunFolderPrefix;
  return folder.parent_path() == temp && name.size() > prefix.size() && name.starts_with(prefix);
}

}  // namespace selftest
