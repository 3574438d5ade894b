#include "simcard/serial_eeprom.h"

#include <string>

namespace simcard {

SerialEeprom::SerialEeprom(CardClock& clock, std::uint32_t size, EepromGeometry geometry)
    : clock_(clock), geometry_(geometry), memory_(size, kErasedByte) {}

Answer SerialEeprom::Read(std::span<const std::uint8_t> subaddress, std::span<std::uint8_t> out) {
  if (std::optional<Answer> refusal = Refusal(subaddress)) return *refusal;
  const std::size_t size = memory_.size();
  const std::uint32_t offset = *OffsetOf(subaddress);
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = memory_[(offset + i) % size];
  return Acknowledged();
}

Answer SerialEeprom::Write(std::span<const std::uint8_t> subaddress,
                           std::span<const std::uint8_t> data) {
  if (std::optional<Answer> busy = BusyRefusal()) return *busy;
  if (std::optional<Answer> refusal = Refusal(subaddress)) return *refusal;
  const std::size_t size = memory_.size();
  const std::size_t window = geometry_.pageSize == 0 ? size : geometry_.pageSize;
  const std::uint32_t offset = *OffsetOf(subaddress);
  const std::size_t windowStart = offset - offset % window;
  for (std::size_t i = 0; i < data.size(); ++i) {
    memory_[(windowStart + (offset - windowStart + i) % window) % size] = data[i];
  }
  lastWriteMicros_ = clock_.NowMicros();
  return Acknowledged();
}

std::optional<std::uint32_t> SerialEeprom::OffsetOf(
    std::span<const std::uint8_t> subaddress) const {
  std::uint32_t offset = 0;
  if (geometry_.subaddress == EepromGeometry::Subaddress::HighByteFirst) {
    if (subaddress.size() != 2) return std::nullopt;
    offset = std::uint32_t{subaddress[0]} << 8 | subaddress[1];
  } else {
    if (subaddress.size() != 1 && subaddress.size() != 2) return std::nullopt;
    offset = subaddress[0];
    if (subaddress.size() == 2) offset |= std::uint32_t{subaddress[1]} << 8;
  }
  // Address bits above the part's size are ignored, as on real parts.
  return static_cast<std::uint32_t>(offset % memory_.size());
}

std::optional<Answer> SerialEeprom::BusyRefusal() {
  if (lastWriteMicros_) {
    const std::uint64_t since = clock_.NowMicros() - *lastWriteMicros_;
    if (since < kWriteCycleMicros) {
      return NotAcknowledged("EEPROM busy: write cycle running (" + std::to_string(since) +
                             " us since the last write)");
    }
  }
  return std::nullopt;
}

std::optional<Answer> SerialEeprom::Refusal(std::span<const std::uint8_t> subaddress) {
  if (memory_.empty()) return NotAcknowledged("EEPROM has no memory");
  if (!OffsetOf(subaddress)) {
    return NotAcknowledged("subaddress of " + std::to_string(subaddress.size()) +
                           " bytes not taken by this EEPROM");
  }
  return std::nullopt;
}

}  // namespace simcard
