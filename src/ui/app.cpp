#include "ui/app.h"

#include <commctrl.h>

#include "common/file.h"
#include "common/waiter.h"
#include "device/filter_connection.h"
#include "machine/machine_card_lock.h"
#include "machine/timer_period.h"
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
  MachineCardLock lock;
  TimerPeriod timer(wait->NeedsRaisedSystemTimer());
  MainDialog dialog(instance, connector, *wait, *files, lock, timer);
  dialog.Run();
  return 0;
}
