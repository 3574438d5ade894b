#pragma once

#include "common/transfer_view.h"
#include "commands/command_host.h"

// Both commands refuse a board EEPROM size the transfers can't address
// (below 1, or beyond 16-bit offsets) before they ask for a file; the
// Channel Decoder path ignores the size. False after the message.
bool AcceptBoardSize(const CommandSettings& settings, TransferView& view);
