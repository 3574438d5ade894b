#pragma once

// The one list of the registry keys the self-test kit looks at (Windows
// only): what the kit and its test programs may change, each with
// everything below it, and what they only watch. The kit's journal refuses
// any change outside it; the runner prints it (selftest-runner.exe /keys),
// and the kit's own test compares exactly those keys before and after a run.

#include <string>
#include <vector>

#include "selftest/common/registry_tree.h"

namespace selftest {

struct GuardedKey {
  RegistryPlace place = {};
  // False for a key the kit only watches: the device enumerator's cache,
  // which Windows writes for every program that lists devices, and the
  // level of the user's classes that WOW64 adds below a 32-bit program.
  bool changedByTheKit = true;
};

// For this PC: with Wine's own keys under Wine, and the user's
// Software\Classes\Wow6432Node in the 64-bit view on 64-bit Windows.
std::vector<GuardedKey> GuardedKeys();

// The key that the journal's own tests change, in the user's classes.
RegistryPlace JournalTestKey();
// Windows' device enumerator's own list of the devices it found.
RegistryPlace DeviceEnumeratorsCache();

// Wine's version when the kit runs under Wine; empty on Windows itself.
std::string WineVersion();
// Whether this 32-bit program runs on 64-bit Windows.
bool UnderWow64();

}  // namespace selftest
