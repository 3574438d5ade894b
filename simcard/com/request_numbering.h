#pragma once

// What a card must remember within one process beyond a single connection:
// how many requests the process has made of it, so that each new
// connection's card numbers on from there and card.txt's fail_transaction
// counts as on a card that stays put.

#include <cstddef>
#include <filesystem>

namespace simcard::com {

// Requests this process has made of the card kept in folder, over all its
// connections so far.
std::size_t RequestsMadeOf(const std::filesystem::path& folder);
void SetRequestsMadeOf(const std::filesystem::path& folder, std::size_t requests);

}  // namespace simcard::com
