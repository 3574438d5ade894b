#pragma once

// Opens control connections on a simulated card, in-process: the stand-in for
// the capture filter lookup in native tests and benchmarks.
//
// PUBLIC API SKETCH: implemented in sim_connector.cpp.

#include "common/i2c_control.h"
#include "simcard/sim_card.h"

namespace simcard {

class SimConnector final : public I2CConnector {
 public:
  explicit SimConnector(SimCard& card);

  // Without a card, shows the two messages of a failed lookup
  // ("FindFilterByName: Couldn't find enumerator!", then
  // "Couldn't find AnalogCaptureFilter!") and returns nothing.
  I2CControl OpenI2CControl(TransferView& view) override;

  void SetCardPresent(bool present);
  int OpenConnections() const;  // opened and not yet closed
  int TimesOpened() const;
};

}  // namespace simcard
