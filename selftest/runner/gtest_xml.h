#pragma once

// The results a test program wrote with --gtest_output=xml: each test's
// outcome and its failures' or skip's messages.

#include <string>
#include <vector>

namespace selftest {

struct TestCaseResult {
  std::string name;  // Suite.Test
  enum class Outcome { kPassed, kFailed, kSkipped } outcome = Outcome::kPassed;
  std::vector<std::string> messages;  // of each failure, or of the skip
};

// The test cases in the XML document, in its order; none when it holds none.
std::vector<TestCaseResult> ParseGtestXml(const std::string& xml);

}  // namespace selftest
