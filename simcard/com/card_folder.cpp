#include "simcard/com/card_folder.h"

#include <windows.h>

#include <fstream>
#include <vector>

namespace simcard::com {

std::optional<std::filesystem::path> FolderInEnvironment() {
  const DWORD size = GetEnvironmentVariableW(kCardFolderVariable, nullptr, 0);
  if (size <= 1) return std::nullopt;
  std::vector<wchar_t> value(size);
  const DWORD length = GetEnvironmentVariableW(kCardFolderVariable, value.data(), size);
  if (length == 0 || length >= size) return std::nullopt;
  return std::filesystem::path(std::wstring(value.data(), length));
}

void AppendModuleNote(const std::string& line) {
  const std::optional<std::filesystem::path> folder = FolderInEnvironment();
  if (!folder) return;
  std::ofstream notes(*folder / kModuleNotesName, std::ios::binary | std::ios::app);
  notes << line << '\n';
}

}  // namespace simcard::com
