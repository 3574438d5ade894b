#include "machine/machine_card_lock.h"

#include <sddl.h>

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

LockAnswer MachineCardLock::TryTake() {
  if (!mutex_) {
    const LocalSecurityDescriptor descriptor;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    // Fails when it cannot be opened or made at all: an object of another
    // kind under its name, a mutex that keeps us out, ... Whether another
    // program uses the card is then unknown.
    mutex_ = Win32Handle(CreateMutexExW(&attributes, kMutexName, 0, kUseAccess));
    if (!mutex_) return {LockAnswer::State::Unknown, GetLastError()};
  }
  switch (WaitForSingleObject(mutex_.Get(), 0)) {
    case WAIT_OBJECT_0:
      held_ = true;
      return {LockAnswer::State::Taken, 0};
    case WAIT_ABANDONED:
      // Ours now, from a program ended in the middle of a command: told,
      // and given back, so that the next command takes it as usual.
      ReleaseMutex(mutex_.Get());
      return {LockAnswer::State::Abandoned, 0};
    case WAIT_TIMEOUT:
      return {LockAnswer::State::HeldElsewhere, 0};
    default:
      return {LockAnswer::State::Unknown, GetLastError()};
  }
}

void MachineCardLock::Release() {
  if (!held_) return;
  held_ = false;
  ReleaseMutex(mutex_.Get());
}
