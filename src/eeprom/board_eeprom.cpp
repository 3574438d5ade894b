#include "eeprom/board_eeprom.h"

#include <array>

#include "device/i2c_request.h"

namespace {

constexpr std::uint32_t kWritePacingMs = 20;
// Beyond this size the EEPROM takes a two-byte subaddress on writes.
constexpr std::int32_t kOneByteSubaddressLimit = 256;
constexpr const char* kSizeRefused = "ReadEEPROM: Board EEPROM transfer size out of range!";

// Low byte first, then high byte.
std::array<std::uint8_t, 2> Subaddress(std::int32_t offset) {
  return {static_cast<std::uint8_t>(offset & 0xFF),
          static_cast<std::uint8_t>((offset >> 8) & 0xFF)};
}

// The last line of defence: the commands refuse such sizes earlier with a
// message of their own, so this only ever stops a caller's mistake.
bool ReadFits(std::span<std::uint8_t> buffer, std::int32_t length) {
  return length >= 1 && length <= kMaxBoardEepromSize &&
         BoardReadBufferSize(length) <= buffer.size();
}

bool WriteFits(std::span<const std::uint8_t> data, std::int32_t count, std::int32_t selectedSize,
               std::int32_t startOffset) {
  return startOffset >= 0 && count > startOffset && count <= kMaxBoardEepromSize &&
         count <= selectedSize && static_cast<std::size_t>(count) <= data.size();
}

}  // namespace

bool ReadBoardEEPROM(const TransferContext& context, std::span<std::uint8_t> buffer,
                     std::int32_t length) {
  if (!ReadFits(buffer, length)) {
    context.view.ShowError(kSizeRefused);
    return false;
  }
  I2CControl control = context.connector.OpenI2CControl(context.view);
  if (!control) return false;

  for (std::int32_t offset = 0;;) {
    const auto subaddress = Subaddress(offset);
    if (!I2CGet(*control, kBoardEepromAddress, subaddress.data(), 2, buffer.data() + offset,
                kBoardReadPiece)) {
      context.view.ShowError("ReadEEPROM: I2C-read to Board EEPROM failed");
      CloseI2CControl(control);
      return false;
    }
    offset += kBoardReadPiece;
    context.view.SetProgressPos(offset);
    if (offset >= length) break;
  }
  CloseI2CControl(control);
  return true;
}

bool WriteBoardEEPROM(const TransferContext& context, std::span<const std::uint8_t> data,
                      std::int32_t count, std::int32_t selectedSize, std::int32_t startOffset) {
  if (!WriteFits(data, count, selectedSize, startOffset)) {
    context.view.ShowError(kSizeRefused);
    return false;
  }
  I2CControl control = context.connector.OpenI2CControl(context.view);
  if (!control) return false;

  const std::uint32_t subaddressLength = selectedSize <= kOneByteSubaddressLimit ? 1 : 2;
  for (std::int32_t offset = startOffset;;) {
    context.waiter.WaitMilliseconds(kWritePacingMs);
    const auto subaddress = Subaddress(offset);
    if (!I2CSet(*control, kBoardEepromAddress, subaddress.data(), subaddressLength,
                data.data() + offset, 1)) {
      context.view.ShowError("ReadEEPROM: I2C-write to Board-EEPROM failed");
      CloseI2CControl(control);
      return false;
    }
    offset += 1;
    context.view.SetProgressPos(offset);
    if (offset >= count) break;
  }
  CloseI2CControl(control);
  return true;
}
