#include "common/file.h"

std::optional<std::size_t> ReadFully(File& file, std::span<std::uint8_t> out) {
  std::size_t total = 0;
  while (total < out.size()) {
    const std::optional<std::size_t> got = file.Read(out.subspan(total));
    if (!got) return std::nullopt;
    if (*got == 0) break;
    total += *got;
  }
  return total;
}
