#include "dsp_image_bytes.h"

#include <algorithm>
#include <cstddef>

namespace ostrel_commands {

namespace {

void PutWord(Bytes& bytes, std::size_t at, std::uint16_t word) {
  bytes[at] = static_cast<std::uint8_t>(word >> 8);
  bytes[at + 1] = static_cast<std::uint8_t>(word & 0xFF);
}

std::size_t N2Offset(std::uint16_t n1) {
  return 7 + 2 * std::size_t{n1};
}

}  // namespace

Bytes DspHeader(std::uint16_t n1, std::uint8_t marker0, std::uint8_t marker1) {
  Bytes header = {0x12, 0x34, 0x56, 0, 0, marker0, marker1};
  PutWord(header, 3, n1);
  return header;
}

Bytes DspHeaderAndN2(std::uint16_t n1, std::uint16_t n2) {
  Bytes bytes = DspHeader(n1);
  bytes.resize(N2Offset(n1) + 2);
  PutWord(bytes, N2Offset(n1), n2);
  return bytes;
}

Bytes DspImage(std::uint16_t n1, std::uint16_t n2) {
  Bytes image = Pattern(2 * std::size_t{n1} + 2 * std::size_t{n2} + 11, 77);
  const Bytes header = DspHeader(n1);
  std::copy(header.begin(), header.end(), image.begin());
  PutWord(image, N2Offset(n1), n2);
  return image;
}

}  // namespace ostrel_commands
