#include "selftest/common/hex_text.h"

namespace selftest {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

int DigitValue(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  return -1;
}

}  // namespace

std::string Hex(std::uint64_t value, int digits) {
  std::string text;
  for (; value != 0 || static_cast<int>(text.size()) < digits; value >>= 4) {
    text.insert(text.begin(), kDigits[value & 0xF]);
  }
  return text;
}

std::string HexBytes(std::span<const std::uint8_t> bytes, std::string_view separator) {
  std::string text;
  for (const std::uint8_t byte : bytes) {
    if (!text.empty()) text += separator;
    text += Hex(byte, 2);
  }
  return text;
}

std::optional<std::vector<std::uint8_t>> BytesOfHex(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = DigitValue(text[i]);
    const int low = DigitValue(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return bytes;
}

}  // namespace selftest
