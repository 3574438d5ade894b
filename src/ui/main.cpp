#include <windows.h>

#include "common/system_library_win32.h"
#include "ui/app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  RestrictDllSearchToSystemFolder();
  return RunOstrel(instance);
}
