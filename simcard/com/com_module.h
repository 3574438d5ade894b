#pragma once

// What this module has handed out: live objects, the references held on
// them and server locks. DllCanUnloadNow answers from it, and tests read it
// to prove that every object handed out was released. It also keeps what a
// card must remember within one process beyond a single connection.

#include <cstddef>
#include <filesystem>

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

// Requests this process has made of the card kept in folder, over all its
// connections so far: each new connection's card numbers on from there, so
// that card.txt's fail_transaction counts as on a card that stays put.
std::size_t RequestsMadeOf(const std::filesystem::path& folder);
void SetRequestsMadeOf(const std::filesystem::path& folder, std::size_t requests);

}  // namespace simcard::com
