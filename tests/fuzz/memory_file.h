#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/file.h"

// A read-only file over bytes in memory.
class MemoryFile final : public File {
 public:
  explicit MemoryFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  std::optional<std::size_t> Read(std::span<std::uint8_t> out) override {
    const std::size_t left = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
    const std::size_t n = std::min(left, out.size());
    if (n > 0) std::memcpy(out.data(), bytes_.data() + position_, n);
    position_ += n;
    return n;
  }
  bool Write(std::span<const std::uint8_t>) override { return false; }
  bool SeekTo(std::uint64_t offset) override {
    position_ = static_cast<std::size_t>(offset);
    return true;
  }
  std::optional<std::uint64_t> Length() override { return bytes_.size(); }
  bool FlushToDisk() override { return true; }

  std::size_t position() const { return position_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};
