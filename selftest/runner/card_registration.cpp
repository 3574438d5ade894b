#include "card_registration.h"

#include <algorithm>

#include "simcard/com/listed_capture_devices.h"
#include "simcard/com/sim_filter_classes.h"

namespace selftest {

using simcard::com::RegistrationScope;

// Linked in rather than loaded from the kit's DLL: no code of the kit's
// folder runs in the runner, which may run as an administrator.
CardRegistration::CardRegistration(const std::filesystem::path& dll, RegistrationScope scope,
                                   const std::wstring& runMark)
    : scope_(scope),
      result_(simcard::com::RegisterSimCardForKitRun(dll.wstring(), scope, runMark)) {}

CardRegistration::~CardRegistration() {
  simcard::com::UnregisterSimCard(scope_);
}

bool EnumeratorListsVirtualCard() {
  const std::vector<CLSID> listed = simcard::com::ListedCaptureClasses();
  return std::find(listed.begin(), listed.end(), simcard::com::kClsidSimCard) != listed.end();
}

}  // namespace selftest
