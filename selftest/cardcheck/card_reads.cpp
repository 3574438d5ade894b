#include "card_reads.h"

#include <memory>
#include <utility>

#include "commands/pending_save.h"
#include "common/transfer_view.h"
#include "device/i2c_request.h"
#include "eeprom/board_eeprom.h"
#include "eeprom/dsp_eeprom.h"
#include "eeprom/dsp_image.h"

namespace {

class CountingControl final : public KsControl {
 public:
  CountingControl(I2CControl inner, std::uint32_t& requests)
      : inner_(std::move(inner)), requests_(requests) {}

  KsResult KsProperty(void* property, std::uint32_t propertyLength, void* data,
                      std::uint32_t dataLength, std::uint32_t* bytesReturned) override {
    ++requests_;
    return inner_->KsProperty(property, propertyLength, data, dataLength, bytesReturned);
  }

 private:
  I2CControl inner_;
  std::uint32_t& requests_;
};

}  // namespace

I2CControl CountingConnector::OpenI2CControl(TransferView& view) {
  I2CControl inner = inner_.OpenI2CControl(view);
  if (!inner) return nullptr;
  return std::make_unique<CountingControl>(std::move(inner), requests_);
}

std::uint32_t CountingConnector::TakeCount() {
  return std::exchange(requests_, 0);
}

std::optional<DecoderRegisters> ReadDecoderRegisters(const TransferContext& context) {
  I2CControl control = context.connector.OpenI2CControl(context.view);
  if (!control) return std::nullopt;
  DecoderRegisters registers;
  const bool read =
      I2CGet(*control, kChannelDecoderAddress, &kChDecModeRegister, 1, &registers.mode, 1) &&
      I2CGet(*control, kChannelDecoderAddress, &kChDecGpioRegisters, 1, registers.gpio.data(),
             static_cast<std::uint32_t>(registers.gpio.size()));
  CloseI2CControl(control);
  if (!read) {
    context.view.ShowError("I2C-read from channel decoder failed!");
    return std::nullopt;
  }
  return registers;
}

std::optional<Bytes> ReadBoard(const TransferContext& context) {
  Bytes buffer(BoardReadBufferSize(kCheckedBoardSize));
  if (!ReadBoardEEPROM(context, buffer, kCheckedBoardSize)) return std::nullopt;
  buffer.resize(kCheckedBoardSize);
  return buffer;
}

std::optional<Bytes> ReadDsp(const TransferContext& context, FileSystem& files,
                             const FilePath& target) {
  const std::unique_ptr<PendingSave> scratch =
      PendingSave::Begin(files, context.waiter, context.undo, target);
  if (!scratch) {
    context.view.ShowError("File can't be written");
    return std::nullopt;
  }
  Bytes content(kDspEepromSize);
  const bool read = ReadDSPEEPROM(context, scratch->file());
  const bool readBack =
      read && scratch->file().SeekTo(0) && ReadFully(scratch->file(), content) == content.size();
  scratch->Discard();
  if (read && !readBack) context.view.ShowError("File can't be read");
  if (!readBack) return std::nullopt;
  return content;
}
