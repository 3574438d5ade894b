#include "simcard/card_store.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace simcard {

ImageLoad LoadImage(const std::filesystem::path& file, std::span<std::uint8_t> memory) {
  std::error_code error;
  if (!std::filesystem::exists(file, error)) return error ? ImageLoad::Failed : ImageLoad::Absent;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error || size != memory.size()) return ImageLoad::Failed;

  std::ifstream in(file, std::ios::binary);
  std::vector<std::uint8_t> image(memory.size());
  if (!in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()))) {
    return ImageLoad::Failed;
  }
  std::copy(image.begin(), image.end(), memory.begin());
  return ImageLoad::Loaded;
}

bool SaveImage(const std::filesystem::path& file, std::span<const std::uint8_t> image) {
  std::filesystem::path temporary = file;
  temporary += ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) return false;
  }
  std::error_code error;
  std::filesystem::rename(temporary, file, error);
  if (!error) return true;
  std::filesystem::remove(temporary, error);
  return false;
}

}  // namespace simcard
