#include "report.h"

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
  std::ofstream file(resultsFile_, std::ios::binary | std::ios::trunc);
  for (const std::string& line : lines_) file << line << "\r\n";
  return static_cast<bool>(file);
}

}  // namespace selftest
