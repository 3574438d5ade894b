#include "eeprom/dsp_eeprom.h"

#include <array>
#include <optional>
#include <string>

#include "device/chdec_switch.h"
#include "device/i2c_request.h"
#include "eeprom/dsp_image.h"

namespace {

constexpr std::uint32_t kPagePacingMs = 20;
constexpr std::int32_t kPageCount = kDspEepromSize / kDspPageSize;
// Bytes the file does not supply are programmed as erased cells.
constexpr std::uint8_t kErased = 0xFF;

using Page = std::array<std::uint8_t, kDspPageSize>;

// High byte first, then low byte.
std::array<std::uint8_t, 2> Subaddress(std::int32_t offset) {
  return {static_cast<std::uint8_t>((offset >> 8) & 0xFF),
          static_cast<std::uint8_t>(offset & 0xFF)};
}

std::string PageMessage(const char* what, std::int32_t page) {
  return std::string("ReadEEPROM: ") + what + " to DSP EEPROM failed (page " +
         std::to_string(page) + ")!";
}

bool ReadPages(const TransferContext& context, KsControl& control, File& file) {
  Page page{};
  for (std::int32_t p = 0; p < kPageCount; ++p) {
    const std::int32_t offset = p * kDspPageSize;
    context.waiter.WaitMilliseconds(kPagePacingMs);
    const auto subaddress = Subaddress(offset);
    if (!I2CGet(control, kDspEepromAddress, subaddress.data(), 2, page.data(), page.size())) {
      context.view.ShowError(PageMessage("I2C-read", p));
      return false;
    }
    if (!file.Write(page)) {
      context.view.ShowError("File can't be written");
      return false;
    }
    context.view.SetProgressPos(offset + kDspPageSize);
  }
  return true;
}

bool WritePages(const TransferContext& context, KsControl& control, File& file,
                std::int32_t count) {
  Page page{};
  for (std::int32_t p = 0, offset = 0;;) {
    page.fill(kErased);
    if (!ReadFully(file, page)) {
      context.view.ShowError("File can't be read");
      return false;
    }
    context.waiter.WaitMilliseconds(kPagePacingMs);
    const auto subaddress = Subaddress(offset);
    if (!I2CSet(control, kDspEepromAddress, subaddress.data(), 2, page.data(), page.size())) {
      context.view.ShowError(PageMessage("I2C-write", p));
      return false;
    }
    offset += kDspPageSize;
    ++p;
    context.view.SetProgressPos(offset);
    if (offset >= count) return true;
  }
}

// Opens the connection, switches the channel decoder, runs the pages and
// restores the channel decoder whatever their result (the restore's own
// result is not looked at: a failed restore shows its message only). The
// restore is the switch's undo step: should the command be cut short
// meanwhile, it is sent at once instead, and only then.
template <typename Pages>
bool WithSwitchedChannelDecoder(const TransferContext& context, Pages pages) {
  I2CControl control = context.connector.OpenI2CControl(context.view);
  if (!control) return false;
  ChDecSavedRegs saved{};
  if (!PrepareChDecGPIO3(*control, saved, context.view)) {
    CloseI2CControl(control);
    return false;
  }
  bool transferred = false;
  {
    const UndoStep restore(context.undo, kChDecUndoName,
                           [&] { return RestoreChDecSettings(*control, saved, context.view); });
    transferred = pages(*control);
  }
  CloseI2CControl(control);
  return transferred;
}

}  // namespace

bool ReadDSPEEPROM(const TransferContext& context, File& file) {
  return WithSwitchedChannelDecoder(
      context, [&](KsControl& control) { return ReadPages(context, control, file); });
}

bool WriteDSPEEPROM(const TransferContext& context, File& file, std::int32_t count) {
  // Counts come from the image check; anything else is a caller's mistake.
  if (count < 1 || count > kDspEepromSize) {
    context.view.ShowError("ReadEEPROM: DSP EEPROM transfer size out of range!");
    return false;
  }
  return WithSwitchedChannelDecoder(
      context, [&](KsControl& control) { return WritePages(context, control, file, count); });
}
