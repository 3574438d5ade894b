#pragma once

// The virtual card registered for one run of the kit (Windows only): in the
// user's or the machine's own classes, its keys volatile and marked with the
// run, so that a run that is killed leaves nothing past the next log-off or
// restart, and the next run knows the keys for an earlier run's.

#include <windows.h>

#include <filesystem>
#include <string>

#include "simcard/com/registration.h"

namespace selftest {

class CardRegistration {
 public:
  // Registers dll in scope, marked with runMark.
  CardRegistration(const std::filesystem::path& dll, simcard::com::RegistrationScope scope,
                   const std::wstring& runMark);
  // Unregisters the card again.
  ~CardRegistration();
  CardRegistration(const CardRegistration&) = delete;
  CardRegistration& operator=(const CardRegistration&) = delete;

  HRESULT Result() const { return result_; }

 private:
  simcard::com::RegistrationScope scope_;
  HRESULT result_;
};

// Whether the system device enumerator lists the virtual card under the
// capture category; the calling thread has COM.
bool EnumeratorListsVirtualCard();

}  // namespace selftest
