#include "claim/undoable_connector.h"

#include <memory>
#include <utility>

namespace {

class CuttableControl final : public KsControl {
 public:
  CuttableControl(I2CControl inner, UndoSteps& undo)
      : inner_(std::move(inner)), cut_(undo, "connection", [this] {
          CloseI2CControl(inner_);
          return true;
        }) {}

  KsResult KsProperty(void* property, std::uint32_t propertyLength, void* data,
                      std::uint32_t dataLength, std::uint32_t* bytesReturned) override {
    if (!inner_) return kKsFail;
    return inner_->KsProperty(property, propertyLength, data, dataLength, bytesReturned);
  }

 private:
  I2CControl inner_;
  UndoStep cut_;  // goes first, closing the connection
};

}  // namespace

I2CControl UndoableConnector::OpenI2CControl(TransferView& view) {
  I2CControl inner = inner_.OpenI2CControl(view);
  if (!inner) return nullptr;
  return std::make_unique<CuttableControl>(std::move(inner), undo_);
}
