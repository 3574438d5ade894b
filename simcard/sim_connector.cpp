#include "simcard/sim_connector.h"

#include <memory>

#include "common/transfer_view.h"

namespace simcard {

// Forwards to the card; closing it (destroying it) is counted.
class SimConnector::Connection final : public KsControl {
 public:
  explicit Connection(SimConnector& connector) : connector_(connector) { ++connector_.open_; }
  ~Connection() override { --connector_.open_; }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  KsResult KsProperty(void* property, std::uint32_t propertyLength, void* data,
                      std::uint32_t dataLength, std::uint32_t* bytesReturned) override {
    return connector_.card_.KsProperty(property, propertyLength, data, dataLength, bytesReturned);
  }

 private:
  SimConnector& connector_;
};

SimConnector::SimConnector(SimCard& card) : card_(card) {}

I2CControl SimConnector::OpenI2CControl(TransferView& view) {
  if (!cardPresent_) {
    view.ShowError("FindFilterByName: Couldn't find enumerator!");
    view.ShowError("Couldn't find AnalogCaptureFilter!");
    return nullptr;
  }
  if (!controlPresent_) {
    view.ShowError("Couldn't get interface handle!");
    return nullptr;
  }
  ++opened_;
  return std::make_unique<Connection>(*this);
}

void SimConnector::SetCardPresent(bool present) {
  cardPresent_ = present;
}
void SimConnector::SetControlInterfacePresent(bool present) {
  controlPresent_ = present;
}

int SimConnector::OpenConnections() const {
  return open_;
}
int SimConnector::TimesOpened() const {
  return opened_;
}

}  // namespace simcard
