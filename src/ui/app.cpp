#include "ui/app.h"

#include <commctrl.h>

#include "common/file.h"
#include "common/waiter.h"
#include "device/filter_connection.h"
#include "ui/machine_card_lock.h"
#include "ui/main_dialog.h"
#include "ui/system_power_guard.h"

int RunOstrel(HINSTANCE instance) {
  // The themed standard controls and the progress bar.
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);

  FilterConnector connector;
  // The dialog paints inside the pacing waits of the commands it runs.
  MainDialog* painter = nullptr;
  const auto waiter = MakePreciseWaiter([&painter] {
    if (painter != nullptr) painter->PaintWhileBusy();
  });
  const auto files = MakeNativeFileSystem();
  MachineCardLock lock;
  SystemPowerGuard power;
  CardAccess card(lock, power);
  MainDialog dialog(instance, CommandServices{connector, *waiter, *files, card});
  painter = &dialog;
  dialog.Run();
  return 0;
}
