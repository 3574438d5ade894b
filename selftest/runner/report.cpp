#include "report.h"

#include <windows.h>

#include <fstream>

#include "selftest/console/console_text.h"

namespace selftest {

void Report::Say(const std::string& line) {
  Print(line);
  Record(line);
}

void Report::Record(const std::vector<std::string>& lines) {
  lines_.insert(lines_.end(), lines.begin(), lines.end());
}

bool Report::Write() const {
  // Written beside it and then put in its place: the kit may be ended at any
  // moment (the session's end), and a results file cut short would lose
  // what an earlier write had said.
  std::filesystem::path written = resultsFile_;
  written += L".new";
  {
    std::ofstream file(written, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines_) file << line << "\r\n";
    file.flush();
    if (!file) return false;
  }
  return MoveFileExW(written.c_str(), resultsFile_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

}  // namespace selftest
