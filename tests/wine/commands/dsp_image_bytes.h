#pragma once

// DSP EEPROM images as the image check reads them: N1 at bytes 3-4 and N2
// at 7 + 2*N1, big-endian, the marker 0x41 0x80 at bytes 5-6.

#include <cstdint>

#include "card_folder.h"

namespace ostrel_commands {

// A well-formed image of 2*n1 + 2*n2 + 11 bytes, its blocks patterned.
Bytes DspImage(std::uint16_t n1, std::uint16_t n2);

// Only the seven header bytes, then the N2 field if wanted; no blocks.
Bytes DspHeader(std::uint16_t n1, std::uint8_t marker0 = 0x41, std::uint8_t marker1 = 0x80);
Bytes DspHeaderAndN2(std::uint16_t n1, std::uint16_t n2);

}  // namespace ostrel_commands
