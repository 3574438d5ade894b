#include "commands/board_size_check.h"

#include "eeprom/board_eeprom.h"

bool AcceptBoardSize(const CommandSettings& settings, TransferView& view) {
  if (settings.kind != EepromKind::Board) return true;
  if (settings.selectedSize >= 1 && settings.selectedSize <= kMaxBoardEepromSize) return true;
  view.ShowError("Please select a board EEPROM size between 1 and 65536 bytes!");
  return false;
}
