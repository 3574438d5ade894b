#pragma once

// What the operator and the system are told about Ostrel's use of the card.

#include <cstdint>
#include <string>

// The card lock is held by another program.
inline constexpr const char* kCardInUseMessage =
    "Another Ostrel is using the card. Try again when it has finished.";

// The card lock could not be opened or created; error is the system's.
inline std::string CardLockUnknownMessage(std::uint32_t error) {
  return "Ostrel can't check whether another program is using the card (error " +
         std::to_string(error) + "). Restart the PC and try again.";
}

// The reasons the system shows when it asks to shut down during a command.
inline constexpr const wchar_t* kWritingReason =
    L"Ostrel is writing to the card's EEPROM. Turning the computer off now can leave the card "
    L"unusable.";
inline constexpr const wchar_t* kReadingReason = L"Ostrel is reading the card's EEPROM.";
