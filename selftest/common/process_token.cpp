#include "selftest/common/process_token.h"

#include "common/win32_handle.h"

namespace selftest {

std::vector<BYTE> TokenInformationOf(TOKEN_INFORMATION_CLASS kind) {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return {};
  const Win32Handle token(opened);
  DWORD size = 0;
  GetTokenInformation(token.Get(), kind, nullptr, 0, &size);
  std::vector<BYTE> information(size);
  if (size == 0 || !GetTokenInformation(token.Get(), kind, information.data(), size, &size)) {
    return {};
  }
  return information;
}

PSID UserOf(std::vector<BYTE>& tokenUser) {
  return tokenUser.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid;
}

bool MayOwn(PSID owner) {
  std::vector<BYTE> user = TokenInformationOf(TokenUser);
  if (owner == nullptr || UserOf(user) == nullptr) return false;
  if (EqualSid(owner, UserOf(user))) return true;
  std::vector<BYTE> groups = TokenInformationOf(TokenGroups);
  if (groups.empty()) return false;
  const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
  for (DWORD i = 0; i < list->GroupCount; ++i) {
    const SID_AND_ATTRIBUTES& group = list->Groups[i];
    if ((group.Attributes & SE_GROUP_OWNER) != 0 && EqualSid(owner, group.Sid)) return true;
  }
  return false;
}

bool IsAdministrator() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                0, 0, 0, 0, &administrators)) {
    return false;
  }
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member != FALSE;
}

bool AboveMediumIntegrity() {
  std::vector<BYTE> label = TokenInformationOf(TokenIntegrityLevel);
  if (label.empty()) return false;  // a system without integrity levels
  const PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(label.data())->Label.Sid;
  const DWORD level = *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1);
  return level > SECURITY_MANDATORY_MEDIUM_RID;
}

}  // namespace selftest
