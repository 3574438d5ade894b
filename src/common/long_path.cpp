#include "common/long_path.h"

#include <string_view>

namespace {

// Windows' MAX_PATH. A folder's path must leave room for an 8.3 name in it,
// so paths from MAX_PATH - 12 characters on are the ones that can fail.
constexpr std::size_t kMaxPath = 260;
constexpr std::size_t kLongFrom = kMaxPath - 12;

constexpr std::wstring_view kExtended = L"\\\\?\\";
constexpr std::wstring_view kDevice = L"\\\\.\\";
constexpr std::wstring_view kNetwork = L"\\\\";
constexpr std::wstring_view kExtendedNetwork = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& text, std::wstring_view start) {
  return text.compare(0, start.size(), start) == 0;
}

bool IsDrivePath(const std::wstring& path) {
  return path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
}

// Decimal digits of value. std::to_wstring would bring the C library's whole
// wide printf into the program for this.
std::wstring Decimal(unsigned long value) {
  const std::string digits = std::to_string(value);
  return {digits.begin(), digits.end()};
}

}  // namespace

std::optional<std::wstring> ExtendedLengthForm(const std::wstring& fullPath) {
  if (fullPath.size() < kLongFrom) return std::nullopt;
  if (StartsWith(fullPath, kExtended) || StartsWith(fullPath, kDevice)) return std::nullopt;
  if (IsDrivePath(fullPath)) return std::wstring(kExtended) + fullPath;
  if (StartsWith(fullPath, kNetwork)) {
    return std::wstring(kExtendedNetwork) + fullPath.substr(kNetwork.size());
  }
  return std::nullopt;
}

std::wstring TemporaryNameBeside(const std::wstring& target, unsigned long process,
                                 unsigned attempt) {
  return target + L"." + Decimal(process) + L"-" + Decimal(attempt) + L".tmp";
}
