#pragma once

// What this module has handed out: live objects, the references held on
// them and server locks. DllCanUnloadNow answers from it, and tests read it
// to prove that every object handed out was released.

namespace simcard::com {

struct ModuleCounts {
  long objects = 0;
  long references = 0;
  long locks = 0;
};

void ObjectCreated();
void ObjectDestroyed();
void ReferenceAdded();
void ReferenceReleased();
void LockModule(bool lock);

ModuleCounts CurrentCounts();

}  // namespace simcard::com
