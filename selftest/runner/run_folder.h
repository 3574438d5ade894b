#pragma once

// The folder of one run under %TEMP%: the test programs' temporary files,
// the virtual card's folders among them, go into it, so that removing it
// removes everything the run made there, also after a test program crashed.

#include <filesystem>

namespace selftest {

class RunFolder {
 public:
  // Removes what a run that was itself ended left there, then makes it.
  RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path Temp() const { return path_ / "temp"; }
  bool Made() const { return made_; }
  // Removes it with everything in it; false when something stayed.
  bool Remove() const;

 private:
  std::filesystem::path path_;
  bool made_ = false;
};

}  // namespace selftest
