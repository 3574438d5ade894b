#include "simcard/com/request_hold.h"

namespace simcard::com {
namespace {

std::string HeldName(const std::string& name) {
  return name + ".held";
}

}  // namespace

bool HoldRequest(const std::string& name, DWORD limitMs) {
  const Win32Handle held(OpenEventA(EVENT_MODIFY_STATE, FALSE, HeldName(name).c_str()));
  const Win32Handle release(OpenEventA(SYNCHRONIZE, FALSE, name.c_str()));
  return held && release && SetEvent(held.Get()) &&
         WaitForSingleObject(release.Get(), limitMs) == WAIT_OBJECT_0;
}

RequestHold::RequestHold()
    : name_("Ostrel.Test.RequestHold." + std::to_string(GetCurrentProcessId())),
      held_(CreateEventA(nullptr, FALSE, FALSE, HeldName(name_).c_str())),
      release_(CreateEventA(nullptr, FALSE, FALSE, name_.c_str())) {}

bool RequestHold::WaitUntilHeld(DWORD timeoutMs) const {
  return WaitForSingleObject(held_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

}  // namespace simcard::com
