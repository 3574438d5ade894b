#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "simcard/card_clock.h"
#include "simcard/i2c_device.h"

namespace simcard {

// How an EEPROM takes its subaddress and where its writes wrap.
struct EepromGeometry {
  enum class Subaddress {
    LowByteFirst,   // one byte (the offset's low byte) or two (low, then high)
    HighByteFirst,  // exactly two: high, then low
  };
  Subaddress subaddress = Subaddress::LowByteFirst;
  // Writes wrap within aligned windows of this many bytes (a page); 0: they
  // run on through the whole memory and wrap at its end.
  std::uint32_t pageSize = 0;
};

// A write keeps the part busy this long; another write meanwhile is not
// acknowledged.
inline constexpr std::uint64_t kWriteCycleMicros = 5000;

// Erased EEPROM cells read as this.
inline constexpr std::uint8_t kErasedByte = 0xFF;

// A serial EEPROM: reads run on through the memory and wrap at its end;
// after a write the part is busy for kWriteCycleMicros and acknowledges no
// further write until its write cycle has ended. Reads are answered: the
// card's I2C engine waits out the write cycle for them, which is what lets a
// read-back follow the last write at once.
class SerialEeprom final : public I2cDevice {
 public:
  SerialEeprom(CardClock& clock, std::uint32_t size, EepromGeometry geometry);

  Answer Read(std::span<const std::uint8_t> subaddress, std::span<std::uint8_t> out) override;
  Answer Write(std::span<const std::uint8_t> subaddress,
               std::span<const std::uint8_t> data) override;

  std::vector<std::uint8_t>& Memory() { return memory_; }
  const std::vector<std::uint8_t>& Memory() const { return memory_; }

 private:
  std::optional<std::uint32_t> OffsetOf(std::span<const std::uint8_t> subaddress) const;
  std::optional<Answer> BusyRefusal();
  std::optional<Answer> Refusal(std::span<const std::uint8_t> subaddress);

  CardClock& clock_;
  EepromGeometry geometry_;
  std::vector<std::uint8_t> memory_;
  std::optional<std::uint64_t> lastWriteMicros_;
};

}  // namespace simcard
