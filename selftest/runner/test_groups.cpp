#include "test_groups.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "selftest/common/hex_text.h"

namespace selftest {

namespace {

// Longer than the slowest group takes on a slow PC; a group still running
// then hangs and is ended.
constexpr DWORD kGroupTimeoutMs = 15 * 60 * 1000;

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string ProgramName(const TestGroup& group) {
  return group.program.stem().string();
}

// "Suite." lines of --gtest_list_tests; test names are indented below them.
std::vector<std::string> SuitesIn(const std::string& listing) {
  std::vector<std::string> suites;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == ' ') continue;
    const std::string name = line.substr(0, line.find_first_of(" \r"));
    if (name.size() > 1 && name.back() == '.') suites.push_back(name.substr(0, name.size() - 1));
  }
  return suites;
}

std::size_t CountOf(const std::vector<TestCaseResult>& cases, TestCaseResult::Outcome outcome) {
  return static_cast<std::size_t>(std::count_if(
      cases.begin(), cases.end(), [&](const TestCaseResult& c) { return c.outcome == outcome; }));
}

}  // namespace

GroupResult::Verdict GroupResult::Result() const {
  const auto count = [&](TestCaseResult::Outcome outcome) { return CountOf(cases, outcome); };
  if (!end.started || end.endedByKit || end.stopped || end.leftRunning || end.exitCode != 0 ||
      cases.empty() || count(TestCaseResult::Outcome::kFailed) != 0) {
    return Verdict::kFailed;
  }
  return count(TestCaseResult::Outcome::kPassed) == 0 ? Verdict::kSkipped : Verdict::kPassed;
}

std::string GroupResult::Line() const {
  const auto count = [&](TestCaseResult::Outcome outcome) { return CountOf(cases, outcome); };
  static constexpr const char* kTags[] = {"PASS  ", "SKIP  ", "FAIL  "};
  std::string line = kTags[static_cast<int>(Result())] + ProgramName(group) + " " + group.suite +
                     ": " + std::to_string(cases.size()) + (cases.size() == 1 ? " test" : " tests");
  if (const auto failed = count(TestCaseResult::Outcome::kFailed)) {
    line += ", " + std::to_string(failed) + " failed";
  }
  if (const auto skipped = count(TestCaseResult::Outcome::kSkipped)) {
    line += ", " + std::to_string(skipped) + " skipped";
  }
  if (!end.started) return line + "; the program could not be started";
  if (end.leftRunning) line += "; a program it started could NOT be ended";
  if (end.stopped) return line + "; stopped with the run";
  if (end.timedOut) return line + "; ended after hanging for 15 minutes";
  if (end.Crashed()) return line + "; CRASHED with exception 0x" + Hex(end.exitCode, 8);
  if (cases.empty()) return line + "; no results (exit code " + std::to_string(end.exitCode) + ")";
  return line;
}

std::vector<std::string> GroupResult::Details() const {
  std::vector<std::string> lines{Line()};
  for (const TestCaseResult& c : cases) {
    if (c.outcome == TestCaseResult::Outcome::kPassed) continue;
    const char* what = c.outcome == TestCaseResult::Outcome::kFailed ? "failed" : "skipped";
    lines.push_back(std::string("    ") + c.name + " " + what);
    for (const std::string& message : c.messages) {
      std::istringstream messageLines(message);
      for (std::string part; std::getline(messageLines, part);) lines.push_back("      " + part);
    }
  }
  return lines;
}

std::vector<TestGroup> ListGroups(const std::filesystem::path& folder,
                                  const std::filesystem::path& scratch, RunStop& stop) {
  std::vector<std::filesystem::path> programs;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.ends_with("_tests.exe")) programs.push_back(entry.path());
  }
  std::sort(programs.begin(), programs.end());
  std::vector<TestGroup> groups;
  for (const std::filesystem::path& program : programs) {
    const std::filesystem::path listing = scratch / (program.stem().string() + "-list.txt");
    const TestProgramEnd end =
        RunTestProgram(program, {L"--gtest_list_tests"}, listing, kGroupTimeoutMs, stop);
    const std::vector<std::string> suites = SuitesIn(ReadText(listing));
    if (end.exitCode != 0 || suites.empty()) {
      groups.push_back({program, "(listing its tests)"});
      continue;
    }
    for (const std::string& suite : suites) groups.push_back({program, suite});
  }
  return groups;
}

GroupResult RunGroup(const TestGroup& group, const std::filesystem::path& resultsFolder,
                     RunStop& stop) {
  std::string base = ProgramName(group) + "." + group.suite;
  std::replace(base.begin(), base.end(), '/', '-');  // of parameterised suites
  const std::filesystem::path xml = resultsFolder / (base + ".xml");
  std::error_code ignored;
  std::filesystem::remove(xml, ignored);
  GroupResult result{group, {}, {}};
  result.end =
      RunTestProgram(group.program,
                     {L"--gtest_filter=" + std::filesystem::path(group.suite).wstring() + L".*",
                      L"--gtest_output=xml:" + xml.wstring()},
                     resultsFolder / (base + ".log"), kGroupTimeoutMs, stop);
  result.cases = ParseGtestXml(ReadText(xml));
  return result;
}

}  // namespace selftest
