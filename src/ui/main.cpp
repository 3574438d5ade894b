#include <windows.h>

#include "common/com_apartment_win32.h"
#include "common/system_library_win32.h"
#include "ui/app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  RestrictDllSearchToSystemFolder();
  // Without COM the lookup fails and says so where the card is needed.
  const ComApartment com;
  return RunOstrel(instance);
}
