#pragma once

// What the kit tells the person running it, on the console, and what it
// keeps for them to send back: selftest-results.txt beside the kit.

#include <filesystem>
#include <string>
#include <vector>

namespace selftest {

class Report {
 public:
  explicit Report(std::filesystem::path resultsFile) : resultsFile_(std::move(resultsFile)) {}

  // On the console and in the results.
  void Say(const std::string& line);
  // In the results only.
  void Record(const std::string& line) { lines_.push_back(line); }
  void Record(const std::vector<std::string>& lines);
  // Writes the results file (UTF-8, Windows line endings); false when it
  // cannot be written.
  bool Write() const;

  const std::filesystem::path& ResultsFile() const { return resultsFile_; }

 private:
  std::filesystem::path resultsFile_;
  std::vector<std::string> lines_;
};

}  // namespace selftest
