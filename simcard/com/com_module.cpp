#include "simcard/com/com_module.h"

#include <atomic>
#include <string>

#include "simcard/com/card_folder.h"

namespace simcard::com {

namespace {

// The module's own bookkeeping, the one piece of state a COM server must keep.
struct Module {
  std::atomic<long> objects{0};
  std::atomic<long> references{0};
  std::atomic<long> locks{0};
  std::atomic<long> created{0};
};

Module& TheModule() {
  static Module module;
  return module;
}

}  // namespace

void ObjectCreated() {
  ++TheModule().objects;
  ++TheModule().created;
}

void ObjectDestroyed() {
  Module& module = TheModule();
  if (--module.objects == 0) {
    // Lets a test of the real program see that every object it was handed
    // went away again.
    AppendModuleNote("released objects=0 references=" + std::to_string(module.references.load()) +
                     " created=" + std::to_string(module.created.load()));
  }
}

void ReferenceAdded() {
  ++TheModule().references;
}

void ReferenceReleased() {
  --TheModule().references;
}

void LockModule(bool lock) {
  if (lock) {
    ++TheModule().locks;
  } else {
    --TheModule().locks;
  }
}

ModuleCounts CurrentCounts() {
  const Module& module = TheModule();
  return {module.objects.load(), module.references.load(), module.locks.load()};
}

}  // namespace simcard::com
