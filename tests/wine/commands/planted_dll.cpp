// Stands in for a DLL that somebody left beside ostrel.exe (in a Downloads
// folder, say): loading it leaves "<its own path>.loaded" behind.

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH + 8] = {};
  const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  lstrcatW(path, L".loaded");
  CloseHandle(
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return TRUE;
}

// What ostrel.exe once imported from winmm, so that a build that still
// imports it starts with this DLL and the test sees the mark.
extern "C" UINT WINAPI timeBeginPeriod(UINT) {
  return 0;
}
extern "C" UINT WINAPI timeEndPeriod(UINT) {
  return 0;
}
