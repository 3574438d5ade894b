#include "ui/typed_size.h"

namespace {

constexpr std::size_t kMaxTypedCharacters = 9;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::int32_t ParseTypedSize(std::string_view text) {
  // Nine characters hold at most nine digits, so the value always fits.
  text = text.substr(0, kMaxTypedCharacters);
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::int32_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) value = value * 10 + (text[i] - '0');
  return negative ? -value : value;
}
