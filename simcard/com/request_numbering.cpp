#include "simcard/com/request_numbering.h"

#include <map>
#include <mutex>

namespace simcard::com {

namespace {

// Connections may be opened from several threads of the process.
struct RequestNumbering {
  std::mutex mutex;
  std::map<std::filesystem::path, std::size_t> requestsMade;
};

RequestNumbering& TheNumbering() {
  static RequestNumbering numbering;
  return numbering;
}

}  // namespace

std::size_t RequestsMadeOf(const std::filesystem::path& folder) {
  RequestNumbering& numbering = TheNumbering();
  const std::lock_guard<std::mutex> lock(numbering.mutex);
  const auto found = numbering.requestsMade.find(folder);
  return found == numbering.requestsMade.end() ? 0 : found->second;
}

void SetRequestsMadeOf(const std::filesystem::path& folder, std::size_t requests) {
  RequestNumbering& numbering = TheNumbering();
  const std::lock_guard<std::mutex> lock(numbering.mutex);
  numbering.requestsMade[folder] = requests;
}

}  // namespace simcard::com
