#include "ui/app.h"

#include <commctrl.h>

#include "common/file.h"
#include "common/waiter.h"
#include "device/filter_connection.h"
#include "ui/main_dialog.h"

int RunOstrel(HINSTANCE instance) {
  // The themed standard controls and the progress bar.
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);

  FilterConnector connector;
  const auto wait = MakePreciseWaiter();
  const auto files = MakeNativeFileSystem();
  MainDialog dialog(instance, connector, *wait, *files);
  dialog.Run();
  return 0;
}
