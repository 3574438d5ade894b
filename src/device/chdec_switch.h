#pragma once

#include <array>
#include <cstdint>

#include "common/i2c_control.h"
#include "common/transfer_view.h"

inline constexpr std::uint8_t kChannelDecoderAddress = 0x10;
// The registers the switch changes: the six 0x3C..0x41 and the mode register.
inline constexpr std::uint8_t kChDecGpioRegisters = 0x3C;
inline constexpr std::uint8_t kChDecModeRegister = 0x07;

// The channel decoder's registers 0x3C..0x41 as read before a DSP EEPROM
// transfer, written back after it.
using ChDecSavedRegs = std::array<std::uint8_t, 6>;

// The undo step of a switched channel decoder, as a DSP transfer registers it.
inline constexpr const char* kChDecUndoName = "channel decoder";

// Switches the channel decoder so that the DSP EEPROM can be reached; saved
// keeps the register values as read.
bool PrepareChDecGPIO3(KsControl& control, ChDecSavedRegs& saved, TransferView& view);

// Puts the channel decoder back as it was before PrepareChDecGPIO3.
bool RestoreChDecSettings(KsControl& control, const ChDecSavedRegs& saved, TransferView& view);
