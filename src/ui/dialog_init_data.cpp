#include "ui/dialog_init_data.h"

#include <utility>

#include "common/little_endian_reader.h"

std::optional<std::vector<DialogInitEntry>> ParseDialogInitData(
    std::span<const std::uint8_t> data) {
  LittleEndianReader reader(data);
  std::vector<DialogInitEntry> entries;
  for (;;) {
    DialogInitEntry entry{};
    entry.controlId = reader.Word();
    if (!reader.Ok()) return std::nullopt;
    if (entry.controlId == 0) return entries;
    entry.message = reader.Word();
    const std::span<const std::uint8_t> bytes = reader.Bytes(reader.DoubleWord());
    if (!reader.Ok()) return std::nullopt;
    entry.data.assign(bytes.begin(), bytes.end());
    // The strings are stored with their terminating zero.
    if (const std::size_t end = entry.data.find('\0'); end != std::string::npos) {
      entry.data.resize(end);
    }
    entries.push_back(std::move(entry));
  }
}
