#include "support/card_bench.h"

std::vector<simcard::Transaction> CardBench::Requests(int device) const {
  std::vector<simcard::Transaction> out;
  for (const simcard::Transaction& t : card.Log()) {
    if (device < 0 || t.device == device) out.push_back(t);
  }
  return out;
}

std::vector<std::uint8_t> DistinctBytes(std::size_t count, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) {
    // Low and high byte of the address mixed, so that no two neighbours and no
    // two pages are alike.
    bytes[i] = static_cast<std::uint8_t>((i * 7 + (i >> 8) * 13 + seed) & 0xFF);
  }
  return bytes;
}

std::vector<std::uint8_t> ValidDspImage(std::size_t length, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes = DistinctBytes(length, seed);
  const std::size_t words = (length - 11) / 2;
  bytes[3] = static_cast<std::uint8_t>(words >> 8);
  bytes[4] = static_cast<std::uint8_t>(words & 0xFF);
  bytes[5] = 0x41;
  bytes[6] = 0x80;
  bytes[7 + 2 * words] = 0;
  bytes[8 + 2 * words] = 0;
  return bytes;
}
