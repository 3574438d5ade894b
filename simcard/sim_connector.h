#pragma once

// Opens control connections on a simulated card, in-process: the stand-in for
// the capture filter lookup in native tests and benchmarks.

#include "common/i2c_control.h"
#include "simcard/sim_card.h"

namespace simcard {

// The connections it hands out must not outlive it or the card.
class SimConnector final : public I2CConnector {
 public:
  explicit SimConnector(SimCard& card);

  // Without a card, shows the two messages of a failed lookup
  // ("FindFilterByName: Couldn't find enumerator!", then
  // "Couldn't find AnalogCaptureFilter!") and returns nothing. Without a
  // control interface, shows "Couldn't get interface handle!".
  I2CControl OpenI2CControl(TransferView& view) override;

  void SetCardPresent(bool present);
  void SetControlInterfacePresent(bool present);

  int OpenConnections() const;  // opened and not yet closed
  int TimesOpened() const;

 private:
  class Connection;

  SimCard& card_;
  bool cardPresent_ = true;
  bool controlPresent_ = true;
  int open_ = 0;
  int opened_ = 0;
};

}  // namespace simcard
