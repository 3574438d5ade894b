#pragma once

// What the operator asked for on selftest.cmd's command line.

#include <optional>
#include <string>
#include <vector>

namespace selftest {

// Where the virtual card is registered, or the real card's check instead.
enum class Mode { kAutomatic, kUser, kMachine, kCard };

struct Options {
  Mode mode = Mode::kAutomatic;
  bool quick = false;
};

// Nothing, and why in error, for an argument the kit does not know.
std::optional<Options> ParseOptions(const std::vector<std::wstring>& arguments,
                                    std::wstring& error);

inline constexpr char kUsage[] =
    "usage: selftest.cmd [/user | /machine | /card] [/quick]\n"
    "  /user     register the virtual card for this user only\n"
    "  /machine  register it for the whole machine (administrator)\n"
    "  /quick    run a few groups of tests only\n"
    "  /card     check a real card, read-only; the virtual card is not registered\n";

}  // namespace selftest
