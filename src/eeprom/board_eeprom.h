#pragma once

#include <cstdint>
#include <span>

#include "eeprom/transfer_context.h"

inline constexpr std::uint8_t kBoardEepromAddress = 0xA0;
// Offsets are 16 bits wide.
inline constexpr std::int32_t kMaxBoardEepromSize = 65536;
// Reads move whole pieces of this size; a buffer for a read of length bytes
// needs BoardReadBufferSize(length) bytes.
inline constexpr std::int32_t kBoardReadPiece = 8;

constexpr std::size_t BoardReadBufferSize(std::int32_t length) {
  return length <= 0 ? 0
                     : static_cast<std::size_t>((length + kBoardReadPiece - 1) / kBoardReadPiece) *
                           kBoardReadPiece;
}

// Reads the first length bytes of the board EEPROM into buffer, in 8-byte
// pieces, moving the progress position to the end of each piece.
bool ReadBoardEEPROM(const TransferContext& context, std::span<std::uint8_t> buffer,
                     std::int32_t length);

// Programs the EEPROM addresses startOffset..count-1 from the same indexes of
// data, one byte per request with a 20 ms wait before each.
bool WriteBoardEEPROM(const TransferContext& context, std::span<const std::uint8_t> data,
                      std::int32_t count, std::int32_t selectedSize, std::int32_t startOffset);
