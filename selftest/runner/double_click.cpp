#include "double_click.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>
#include <optional>
#include <string>

#include "common/win32_handle.h"

namespace selftest {

namespace {

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
