#pragma once

#include "common/i2c_control.h"
#include "claim/undo_steps.h"

// Opens the connections of inner, each registered to be cut when the undo
// steps run: a cut connection fails every request, so that a command cut
// short sends nothing more, and its transfer ends as if the card had failed.
class UndoableConnector final : public I2CConnector {
 public:
  UndoableConnector(I2CConnector& inner, UndoSteps& undo) : inner_(inner), undo_(undo) {}

  I2CControl OpenI2CControl(TransferView& view) override;

 private:
  I2CConnector& inner_;
  UndoSteps& undo_;
};
