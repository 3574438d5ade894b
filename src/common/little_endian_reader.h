#pragma once

// Reads little-endian fields from a block of bytes, never past its end: a read
// that would go past it fails, and so does every read after it.

#include <cstddef>
#include <cstdint>
#include <span>

class LittleEndianReader {
 public:
  explicit LittleEndianReader(std::span<const std::uint8_t> data) : data_(data) {}

  // False once a read has run past the end; the failed reads gave 0.
  bool Ok() const { return ok_; }

  std::uint16_t Word() {
    if (!Take(2)) return 0;
    return static_cast<std::uint16_t>(data_[pos_ - 2] | data_[pos_ - 1] << 8);
  }
  std::uint32_t DoubleWord() {
    const std::uint32_t low = Word();
    return static_cast<std::uint32_t>(Word()) << 16 | low;
  }
  // The next count bytes; empty when fewer are left.
  std::span<const std::uint8_t> Bytes(std::size_t count) {
    if (!Take(count)) return {};
    return data_.subspan(pos_ - count, count);
  }

 private:
  bool Take(std::size_t count) {
    if (!ok_ || data_.size() - pos_ < count) {
      ok_ = false;
      return false;
    }
    pos_ += count;
    return true;
  }

  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};
