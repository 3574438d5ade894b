#include "support/test_bytes.h"

namespace {

void PutBigEndian(Bytes& bytes, std::size_t at, std::uint16_t word) {
  bytes[at] = static_cast<std::uint8_t>(word >> 8);
  bytes[at + 1] = static_cast<std::uint8_t>(word & 0xFF);
}

}  // namespace

Bytes DistinctBytes(std::size_t count, std::uint8_t seed) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) {
    // Low and high byte of the address mixed, so that no two neighbours and no
    // two pages are alike.
    bytes[i] = static_cast<std::uint8_t>((i * 7 + (i >> 8) * 13 + seed) & 0xFF);
  }
  return bytes;
}

Bytes DspImage(std::uint16_t n1, std::uint16_t n2, std::size_t keep) {
  const std::size_t n2At = 7 + 2 * std::size_t{n1};
  Bytes image = DistinctBytes(n2At + 2 * std::size_t{n2} + 4, 77);
  PutBigEndian(image, 3, n1);
  image[5] = 0x41;
  image[6] = 0x80;
  PutBigEndian(image, n2At, n2);
  if (keep < image.size()) image.resize(keep);
  return image;
}
