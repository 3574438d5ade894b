#include "run_folder.h"

namespace selftest {

RunFolder::RunFolder() {
  std::error_code error;
  path_ = std::filesystem::temp_directory_path(error) / "ostrel-selftest";
  if (error) return;
  Remove();
  made_ = std::filesystem::create_directories(Temp(), error);
}

bool RunFolder::Remove() const {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
  return !std::filesystem::exists(path_, error);
}

}  // namespace selftest
