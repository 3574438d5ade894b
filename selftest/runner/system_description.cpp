#include "system_description.h"

#include <windows.h>

#include "common/win32_text.h"

namespace selftest {

namespace {

// The version Windows really has: GetVersionEx answers what the program's
// manifest claims to know of.
std::string WindowsVersion() {
  using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
  const auto get = reinterpret_cast<RtlGetVersion>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (get == nullptr || get(&version) != 0) return "unknown";
  std::string text = std::to_string(version.dwMajorVersion) + "." +
                     std::to_string(version.dwMinorVersion) + " build " +
                     std::to_string(version.dwBuildNumber);
  const std::string servicePack = ToNarrow(version.szCSDVersion, NarrowEncoding::Utf8);
  return servicePack.empty() ? text : text + " " + servicePack;
}

bool Is64BitWindows() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// The kit's programs say in their manifest that they know of DPI, as
// Ostrel does; otherwise Windows would scale the answer to 96.
int ScreenDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi;
}

}  // namespace

std::string WineVersion() {
  using GetWineVersion = const char*(CDECL*)();
  const auto get = reinterpret_cast<GetWineVersion>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
  return get == nullptr ? std::string() : std::string(get());
}

bool IsAdministrator() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                0, 0, 0, 0, &administrators)) {
    return false;
  }
  // Under UAC an administrator's unelevated token has the group for deny
  // only, and this answers false, as it should.
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member != FALSE;
}

std::vector<std::string> DescribeSystem() {
  std::vector<std::string> lines{"Windows: " + WindowsVersion()};
  if (const std::string wine = WineVersion(); !wine.empty()) lines.push_back("Wine: " + wine);
  lines.push_back(std::string("Windows bits: ") + (Is64BitWindows() ? "64-bit" : "32-bit"));
  lines.push_back("Screen DPI: " + std::to_string(ScreenDpi()));
  lines.push_back(std::string("User: ") +
                  (IsAdministrator() ? "administrator" : "not an administrator"));
  return lines;
}

}  // namespace selftest
