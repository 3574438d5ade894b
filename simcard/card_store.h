#pragma once

// A card's memories in its folder, raw bytes, one file each: the two EEPROMs
// and the channel decoder's registers.

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace simcard {

inline constexpr const char* kBoardImageName = "board.bin";
inline constexpr const char* kDspImageName = "dsp.bin";
inline constexpr const char* kChDecImageName = "chdec.bin";

enum class ImageLoad { Loaded, Absent, Failed };

// Reads file into memory when it exists and holds exactly memory.size()
// bytes; otherwise memory is left as it was.
ImageLoad LoadImage(const std::filesystem::path& file, std::span<std::uint8_t> memory);

// Writes the image beside file first and then puts it in file's place, so
// that an interrupted save leaves the previous image intact.
bool SaveImage(const std::filesystem::path& file, std::span<const std::uint8_t> image);

}  // namespace simcard
