#pragma once

#include <cstdint>
#include <optional>

#include "claim/card_access.h"
#include "common/eeprom_kind.h"
#include "common/file.h"
#include "common/i2c_control.h"
#include "common/transfer_view.h"
#include "common/waiter.h"

// The dialog's settings as the commands read them.
struct CommandSettings {
  EepromKind kind = EepromKind::Board;
  std::int32_t selectedSize = 256;
  std::int32_t startOffset = 0;  // 0 with "Override PCI config. space" checked, 16 without
  bool verify = true;
};

// What a command needs from the dialog that runs it.
class CommandHost {
 public:
  virtual ~CommandHost() = default;
  virtual TransferView& View() = 0;
  // Read at the moment of use.
  virtual CommandSettings Settings() = 0;
  // Save-file dialog: default extension ".bin", filter "EEPROM image (*.bin)|*.bin||",
  // no initial name, no extra options. Nothing when cancelled or failed.
  virtual std::optional<FilePath> AskFileToSave() = 0;
  // Open-file dialog with the same extension and filter.
  virtual std::optional<FilePath> AskFileToOpen() = 0;
};

// The services below the dialog, wired by the application (or by tests).
struct CommandServices {
  I2CConnector& connector;
  Waiter& waiter;
  FileSystem& files;
  // Claimed around the transfers of each command: one at a time on the machine.
  CardAccess& card;
};
