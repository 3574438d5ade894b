#pragma once

// What the operator is told when the card can't be claimed, or a command on
// it was stopped.

#include <cstdint>
#include <string>

// The card lock is held by another program.
inline constexpr const char* kCardInUseMessage =
    "Another Ostrel is using the card. Try again when it has finished.";

// The program that held the card lock was ended in the middle of a command.
inline constexpr const char* kCardCutOffMessage =
    "The last command on the card was cut off, and the card may not have been put back. Restart "
    "the PC, then try again.";

// The card lock could not be opened or created; error is the system's.
inline std::string CardLockUnknownMessage(std::uint32_t error) {
  return "Ostrel can't check whether another program is using the card (error " +
         std::to_string(error) + "). Restart the PC and try again.";
}

// A command asked for the card while this program's claim on it lived: a
// fault of the program, never seen when it works as it should.
inline constexpr const char* kCardClaimedMessage =
    "Ostrel is already using the card for another command.";

// The PC went to sleep while a command used the card, and the command was
// stopped; told once the PC is awake again.
inline constexpr const char* kSleptMessage =
    "The PC went to sleep during the command, which was stopped. Run the command again.";
