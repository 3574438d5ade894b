#include "this_pc.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>
#include <optional>

#include "common/system_library_win32.h"
#include "common/win32_handle.h"
#include "common/win32_text.h"
#include "selftest/common/guarded_keys.h"
#include "selftest/common/process_token.h"

namespace selftest {

namespace {

// The version Windows really has: GetVersionEx answers what the program's
// manifest claims to know of.
std::string WindowsVersion() {
  const SystemLibrary ntdll(L"ntdll.dll");
  auto* const get = ntdll.Find<LONG WINAPI(OSVERSIONINFOW*)>("RtlGetVersion");
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (get == nullptr || get(&version) != 0) return "unknown";
  std::string text = std::to_string(version.dwMajorVersion) + "." +
                     std::to_string(version.dwMinorVersion) + " build " +
                     std::to_string(version.dwBuildNumber);
  const std::string servicePack = ToNarrow(version.szCSDVersion, NarrowEncoding::Utf8);
  return servicePack.empty() ? text : text + " " + servicePack;
}

// The kit's programs say in their manifest that they know of DPI, as
// Ostrel does; otherwise Windows would scale the answer to 96.
int ScreenDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi;
}

struct ProcessEntry {
  DWORD parent = 0;
  std::wstring name;
};

std::optional<ProcessEntry> FindProcess(DWORD id) {
  const Win32Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return std::nullopt;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == id) return ProcessEntry{entry.th32ParentProcessID, entry.szExeFile};
  }
  return std::nullopt;
}

std::optional<ULONGLONG> StartTime(DWORD id) {
  const Win32Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  FILETIME created{};
  FILETIME unused[3]{};
  if (!process || !GetProcessTimes(process.Get(), &created, &unused[0], &unused[1], &unused[2])) {
    return std::nullopt;
  }
  return (ULONGLONG{created.dwHighDateTime} << 32) | created.dwLowDateTime;
}

}  // namespace

std::vector<std::string> DescribeSystem() {
  std::vector<std::string> lines{"Windows: " + WindowsVersion()};
  if (const std::string wine = WineVersion(); !wine.empty()) lines.push_back("Wine: " + wine);
  lines.push_back(std::string("Windows bits: ") + (UnderWow64() ? "64-bit" : "32-bit"));
  lines.push_back("Screen DPI: " + std::to_string(ScreenDpi()));
  lines.push_back(std::string("User: ") +
                  (IsAdministrator() ? "administrator" : "not an administrator"));
  return lines;
}

bool StartedByDoubleClick() {
  constexpr ULONGLONG kJustBefore = 10ull * 10'000'000;  // 10 s in 100 ns units
  const std::optional<ProcessEntry> self = FindProcess(GetCurrentProcessId());
  if (!self) return false;
  const std::optional<ProcessEntry> interpreter = FindProcess(self->parent);
  if (!interpreter || _wcsicmp(interpreter->name.c_str(), L"cmd.exe") != 0) return false;
  const std::optional<ProcessEntry> starter = FindProcess(interpreter->parent);
  if (!starter || _wcsicmp(starter->name.c_str(), L"explorer.exe") != 0) return false;
  const std::optional<ULONGLONG> interpreterStart = StartTime(self->parent);
  const std::optional<ULONGLONG> ownStart = StartTime(GetCurrentProcessId());
  return interpreterStart && ownStart && *ownStart - *interpreterStart < kJustBefore;
}

void WaitForEnter() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  wchar_t buffer[16];
  DWORD read = 0;
  ReadConsoleW(input, buffer, 16, &read, nullptr);
}

}  // namespace selftest
