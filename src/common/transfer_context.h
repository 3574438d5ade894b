#pragma once

#include "common/i2c_control.h"
#include "common/transfer_view.h"
#include "common/waiter.h"

// The services one EEPROM transfer works with, passed explicitly.
struct TransferContext {
  TransferView& view;
  I2CConnector& connector;
  Waiter& waiter;
};
