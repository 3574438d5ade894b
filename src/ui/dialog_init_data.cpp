#include "ui/dialog_init_data.h"

#include <cstddef>
#include <utility>

namespace {

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}

  bool Word(std::uint16_t& value) {
    if (data_.size() - pos_ < 2) return false;
    value = static_cast<std::uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
    pos_ += 2;
    return true;
  }

  bool DoubleWord(std::uint32_t& value) {
    std::uint16_t low = 0;
    std::uint16_t high = 0;
    if (!Word(low) || !Word(high)) return false;
    value = static_cast<std::uint32_t>(high) << 16 | low;
    return true;
  }

  bool Bytes(std::uint32_t count, std::string& out) {
    if (data_.size() - pos_ < count) return false;
    const auto* first = reinterpret_cast<const char*>(data_.data() + pos_);
    out.assign(first, count);
    pos_ += count;
    return true;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<std::vector<DialogInitEntry>> ParseDialogInitData(
    std::span<const std::uint8_t> data) {
  Reader reader(data);
  std::vector<DialogInitEntry> entries;
  for (;;) {
    DialogInitEntry entry{};
    if (!reader.Word(entry.controlId)) return std::nullopt;
    if (entry.controlId == 0) return entries;
    std::uint32_t length = 0;
    if (!reader.Word(entry.message) || !reader.DoubleWord(length) ||
        !reader.Bytes(length, entry.data)) {
      return std::nullopt;
    }
    // The strings are stored with their terminating zero.
    if (const std::size_t end = entry.data.find('\0'); end != std::string::npos) {
      entry.data.resize(end);
    }
    entries.push_back(std::move(entry));
  }
}
