#pragma once

// The check's reads, each on a connection of its own like the commands'
// transfers, with the requests each one makes counted.

#include <cstdint>
#include <optional>
#include <vector>

#include "common/file.h"
#include "eeprom/transfer_context.h"
#include "device/chdec_switch.h"

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::int32_t kCheckedBoardSize = 256;

// The channel decoder's registers that a DSP transfer switches and restores.
struct DecoderRegisters {
  std::uint8_t mode = 0;  // register 0x07
  ChDecSavedRegs gpio{};  // registers 0x3C..0x41
  bool operator==(const DecoderRegisters&) const = default;
};

// Opens the connections of inner and counts the requests made on them.
class CountingConnector final : public I2CConnector {
 public:
  explicit CountingConnector(I2CConnector& inner) : inner_(inner) {}

  I2CControl OpenI2CControl(TransferView& view) override;
  // The requests made since the last call.
  std::uint32_t TakeCount();

 private:
  I2CConnector& inner_;
  std::uint32_t requests_ = 0;
};

// Reads only: two requests to the channel decoder.
std::optional<DecoderRegisters> ReadDecoderRegisters(const TransferContext& context);

// The first kCheckedBoardSize bytes of the board EEPROM.
std::optional<Bytes> ReadBoard(const TransferContext& context);

// The whole DSP EEPROM, read as a save reads it: into the temporary file of a
// save of target, discarded once read back.
std::optional<Bytes> ReadDsp(const TransferContext& context, FileSystem& files,
                             const FilePath& target);
