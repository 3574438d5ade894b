#pragma once

// The virtual card registered through its own DLL's entry points, as
// regsvr32 (per machine) or regsvr32 /n /i:user (per user) registers it
// (Windows only).

#include <windows.h>

#include <filesystem>

#include "simcard/com/registration.h"

namespace selftest {

class CardRegistration {
 public:
  CardRegistration(const std::filesystem::path& dll, simcard::com::RegistrationScope scope);
  // Unregisters the card the same way.
  ~CardRegistration();
  CardRegistration(const CardRegistration&) = delete;
  CardRegistration& operator=(const CardRegistration&) = delete;

  HRESULT Result() const { return result_; }

 private:
  HRESULT Call(bool install) const;

  std::filesystem::path dll_;
  simcard::com::RegistrationScope scope_;
  HRESULT result_;
};

// Whether the system device enumerator lists the virtual card under the
// capture category.
bool EnumeratorListsVirtualCard();

}  // namespace selftest
