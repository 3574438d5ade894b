#pragma once

#include "common/i2c_control.h"
#include "common/transfer_view.h"
#include "claim/undo_steps.h"
#include "common/waiter.h"

// The services one EEPROM transfer works with, passed explicitly. A transfer
// registers in undo what it changes on the card for as long as the change
// stands.
struct TransferContext {
  TransferView& view;
  I2CConnector& connector;
  Waiter& waiter;
  UndoSteps& undo;
};
