#include "eeprom/dsp_image.h"

#include <array>
#include <optional>

namespace {

constexpr std::uint8_t kMarker[2] = {0x41, 0x80};
constexpr std::uint64_t kFirstBlockOffset = 7;
constexpr const char* kInvalidFormat = "The file format is not valid";

std::uint32_t BigEndianWord(std::uint8_t high, std::uint8_t low) {
  return std::uint32_t{high} * 256u + low;
}

std::int32_t RefuseImage(TransferView& view, const char* caption) {
  view.ShowPlainMessage(kInvalidFormat, caption);
  return 0;
}

std::int32_t FileFailed(TransferView& view) {
  view.ShowError("File can't be read");
  return kDspImageFileError;
}

}  // namespace

std::int32_t CheckDSPImage(TransferView& view, File& file) {
  // Bytes 0..2 are not examined, N1 at 3..4, the marker at 5..6.
  std::array<std::uint8_t, 7> header{};
  const std::optional<std::size_t> headerRead = ReadFully(file, header);
  if (!headerRead) return FileFailed(view);
  // A file too short for a field is refused like a wrong marker: the check
  // never works on bytes the file did not supply.
  if (*headerRead < header.size()) return RefuseImage(view, "Bad bytes");
  const std::uint32_t n1 = BigEndianWord(header[3], header[4]);
  if (header[5] != kMarker[0] || header[6] != kMarker[1]) return RefuseImage(view, "Bad bytes");

  std::array<std::uint8_t, 2> n2Field{};
  if (!file.SeekTo(kFirstBlockOffset + std::uint64_t{n1} * 2u)) return FileFailed(view);
  const std::optional<std::size_t> n2Read = ReadFully(file, n2Field);
  if (!n2Read) return FileFailed(view);
  if (*n2Read < n2Field.size()) return RefuseImage(view, "Bad bytes");
  const std::uint32_t n2 = BigEndianWord(n2Field[0], n2Field[1]);

  const std::uint32_t length = 2u * n1 + 2u * n2 + 11u;
  if (length > static_cast<std::uint32_t>(kDspEepromSize)) return RefuseImage(view, "Bad length");

  if (!file.SeekTo(0)) return FileFailed(view);
  return static_cast<std::int32_t>(length);
}
