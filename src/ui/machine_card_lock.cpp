#include "ui/machine_card_lock.h"

#include <sddl.h>

#include <utility>

namespace {

constexpr wchar_t kMutexName[] = L"Global\\Ostrel.CardLock";
// Every user may wait for the mutex and release it; nothing more.
constexpr wchar_t kEveryoneMaySynchronize[] = L"D:(A;;0x00100001;;;WD)";
constexpr DWORD kUseAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE;

class LocalSecurityDescriptor {
 public:
  LocalSecurityDescriptor() {
    ConvertStringSecurityDescriptorToSecurityDescriptorW(kEveryoneMaySynchronize, SDDL_REVISION_1,
                                                         &descriptor_, nullptr);
  }
  ~LocalSecurityDescriptor() { LocalFree(descriptor_); }
  LocalSecurityDescriptor(const LocalSecurityDescriptor&) = delete;
  LocalSecurityDescriptor& operator=(const LocalSecurityDescriptor&) = delete;
  PSECURITY_DESCRIPTOR Get() const { return descriptor_; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

}  // namespace

bool MachineCardLock::TryTake() {
  const LocalSecurityDescriptor descriptor;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
  // Fails with access denied when another user's Ostrel made it without
  // letting us in: taken, as far as we can tell, and so for any failure.
  Win32Handle mutex(CreateMutexExW(&attributes, kMutexName, 0, kUseAccess));
  if (!mutex) return false;
  // Abandoned: an Ostrel that held it was ended; the card is free now.
  const DWORD waited = WaitForSingleObject(mutex.Get(), 0);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return false;
  mutex_ = std::move(mutex);
  return true;
}

void MachineCardLock::Release() {
  if (!mutex_) return;
  ReleaseMutex(mutex_.Get());
  mutex_ = Win32Handle();
}
