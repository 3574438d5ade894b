// The self-test kit's reading of GoogleTest's XML results: what it puts in
// selftest-results.txt for each test.

#include "selftest/runner/gtest_xml.h"

#include <gtest/gtest.h>

namespace selftest {
namespace {

using Outcome = TestCaseResult::Outcome;

// As GoogleTest 1.12 writes it: a passed case as an empty element, a failed
// one with two failures, a skipped one with its message.
constexpr char kResults[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="3" failures="1" disabled="0" errors="0" name="AllTests">
  <testsuite name="FilterLookup" tests="3" failures="1" disabled="0" skipped="1" errors="0">
    <testcase name="FindsTheCard" file="a.cpp" line="10" status="run" result="completed" time="0." classname="FilterLookup" />
    <testcase name="TwoCards" file="a.cpp" line="20" status="run" result="completed" time="0." classname="FilterLookup">
      <failure message="a.cpp:21&#x0A;Expected: 2 &lt; 1 &amp; &quot;x&quot;" type=""><![CDATA[a.cpp:21
Expected: 2 < 1]]></failure>
      <failure message="F&#xFC;r&#x20AC;&#x1F50C;" type=""><![CDATA[]]></failure>
    </testcase>
    <testcase name="EmptyCategory" file="a.cpp" line="30" status="run" result="skipped" time="0." classname="FilterLookup">
      <skipped message="a.cpp:31&#x0A;the PC lists devices of its own"><![CDATA[]]></skipped>
    </testcase>
  </testsuite>
</testsuites>
)";

TEST(GtestXml, EachCaseWithItsOutcomeAndMessages) {
  const std::vector<TestCaseResult> cases = ParseGtestXml(kResults);
  ASSERT_EQ(cases.size(), 3u);
  const struct {
    const char* name;
    Outcome outcome;
    std::vector<std::string> messages;
  } expected[] = {
      {"FilterLookup.FindsTheCard", Outcome::kPassed, {}},
      {"FilterLookup.TwoCards",
       Outcome::kFailed,
       {"a.cpp:21\nExpected: 2 < 1 & \"x\"", "F\xC3\xBCr\xE2\x82\xAC\xF0\x9F\x94\x8C"}},
      {"FilterLookup.EmptyCategory",
       Outcome::kSkipped,
       {"a.cpp:31\nthe PC lists devices of its own"}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(cases[i].name, expected[i].name);
    EXPECT_EQ(cases[i].outcome, expected[i].outcome);
    EXPECT_EQ(cases[i].messages, expected[i].messages);
  }
}

TEST(GtestXml, NoResultsFromNothingOrACutOffFile) {
  EXPECT_TRUE(ParseGtestXml("").empty());
  EXPECT_TRUE(ParseGtestXml("<testsuites><testsuite name=\"A\"><testcase name=\"B\"").empty());
}

}  // namespace
}  // namespace selftest
