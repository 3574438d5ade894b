#pragma once

// The bytes tests fill memories and files with.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// Bytes that differ from their neighbours at every address.
Bytes DistinctBytes(std::size_t count, std::uint8_t seed = 0);

// A DSP EEPROM image as the image check reads it: N1 at bytes 3-4 and N2 at
// 7 + 2*N1, big-endian, the marker 0x41 0x80 at bytes 5-6, 2*n1 + 2*n2 + 11
// bytes in all, the rest distinct bytes. Only the first keep bytes of it.
Bytes DspImage(std::uint16_t n1, std::uint16_t n2,
               std::size_t keep = std::numeric_limits<std::size_t>::max());
