#pragma once

// The kit's test programs, run one group (test suite) at a time, so that a
// crash costs one group and each group's result shows on a line of its own.

#include <filesystem>
#include <string>
#include <vector>

#include "gtest_xml.h"
#include "started_programs.h"

namespace selftest {

struct TestGroup {
  std::filesystem::path program;
  std::string suite;
};

struct GroupResult {
  TestGroup group;
  TestProgramEnd end;
  std::vector<TestCaseResult> cases;
  // Passed: it ran to its end and every case passed or skipped, at least one
  // passed. Skipped: the same, every case skipped.
  enum class Verdict { kPassed, kSkipped, kFailed };
  Verdict Result() const;
  // "PASS  ui_wine_tests AboutBox: 3 tests", with skips, failures or the crash.
  std::string Line() const;
  // The line, then each failure's and skip's message, indented.
  std::vector<std::string> Details() const;
};

// The groups of every *_tests.exe in folder, by program name and in each
// program's order; scratch holds the listings. A program that cannot list
// its tests is a group of its own that fails.
std::vector<TestGroup> ListGroups(const std::filesystem::path& folder,
                                  const std::filesystem::path& scratch, RunStop& stop);

// Runs one group with its XML results, and its output, in resultsFolder.
GroupResult RunGroup(const TestGroup& group, const std::filesystem::path& resultsFolder,
                     RunStop& stop);

}  // namespace selftest
