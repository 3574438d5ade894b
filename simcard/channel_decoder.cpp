#include "simcard/channel_decoder.h"

#include <string>

namespace simcard {
namespace {

constexpr std::uint8_t kSwitchedMode = 0x02;
constexpr std::uint8_t kGpio3Routed = 0xFF;
constexpr std::array<std::uint8_t, ChannelDecoder::kGpioRegisterCount> kPowerOnGpio = {
    0x5A, 0x0C, 0x12, 0x34, 0x00, 0x01};

Answer CheckSubaddress(std::span<const std::uint8_t> subaddress) {
  if (subaddress.size() == 1) return Acknowledged();
  return NotAcknowledged("channel decoder takes a one-byte subaddress, got " +
                         std::to_string(subaddress.size()));
}

}  // namespace

ChannelDecoder::ChannelDecoder() {
  registers_[kModeRegister] = 0x00;
  for (std::size_t i = 0; i < kPowerOnGpio.size(); ++i) {
    registers_[kGpioRegisters + i] = kPowerOnGpio[i];
  }
}

Answer ChannelDecoder::Read(std::span<const std::uint8_t> subaddress, std::span<std::uint8_t> out) {
  Answer answer = CheckSubaddress(subaddress);
  if (!answer.acknowledged) return answer;
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = registers_[(subaddress[0] + i) % registers_.size()];
  }
  return answer;
}

Answer ChannelDecoder::Write(std::span<const std::uint8_t> subaddress,
                             std::span<const std::uint8_t> data) {
  Answer answer = CheckSubaddress(subaddress);
  if (!answer.acknowledged) return answer;
  for (std::size_t i = 0; i < data.size(); ++i) {
    registers_[(subaddress[0] + i) % registers_.size()] = data[i];
  }
  return answer;
}

bool ChannelDecoder::Switched() const {
  return registers_[kModeRegister] == kSwitchedMode && registers_[kGpio3Register] == kGpio3Routed;
}

Answer SwitchedDevice::Read(std::span<const std::uint8_t> subaddress, std::span<std::uint8_t> out) {
  if (!decoder_.Switched()) return NotAcknowledged("channel decoder not switched");
  return device_.Read(subaddress, out);
}

Answer SwitchedDevice::Write(std::span<const std::uint8_t> subaddress,
                             std::span<const std::uint8_t> data) {
  if (!decoder_.Switched()) return NotAcknowledged("channel decoder not switched");
  return device_.Write(subaddress, data);
}

}  // namespace simcard
