#pragma once

#include <cstdint>

#include "common/file.h"
#include "common/transfer_view.h"

inline constexpr std::int32_t kDspEepromSize = 32768;
// CheckDSPImage's answer when the file itself failed (its message shown).
inline constexpr std::int32_t kDspImageFileError = -1;

// Checks that file holds a DSP EEPROM image and works out how many bytes of
// it to program (DSPImageLength, at least 11). On success the file is back at
// its start; 0 when the image is refused, kDspImageFileError when the file
// can't be read, each after its message.
std::int32_t CheckDSPImage(TransferView& view, File& file);
