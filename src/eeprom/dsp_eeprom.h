#pragma once

#include <cstdint>

#include "common/file.h"
#include "eeprom/transfer_context.h"

inline constexpr std::uint8_t kDspEepromAddress = 0xA2;
inline constexpr std::int32_t kDspPageSize = 64;

// Copies the whole DSP EEPROM, page by page, to the end of file (open for
// writing at its start). The caller has set the progress range to 0..32768.
bool ReadDSPEEPROM(const TransferContext& context, File& file);

// Programs the DSP EEPROM page by page with the first count bytes of file
// (open for reading at its start), rounded up to whole pages. The caller has
// set the progress range to 0..count.
bool WriteDSPEEPROM(const TransferContext& context, File& file, std::int32_t count);
