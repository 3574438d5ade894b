// Commands without a usable card: the lookup's two messages in order, then
// the command's failure status.

#include <gtest/gtest.h>

#include "capture_registry.h"
#include "command_end_to_end.h"

namespace ostrel_commands {
namespace {

using ostrel_ui::BoxIcon;

constexpr wchar_t kNotFound[] = L"Couldn't find AnalogCaptureFilter!";

class MissingCard : public CommandEndToEnd {
 protected:
  // The lookup's own message, then its summary; the command's failure status
  // after both.
  void ExpectLookupFailure(const std::wstring& lookupMessage, const std::wstring& status,
                           const Here& where = Here::current()) {
    const CallerTrace caller(where);
    ASSERT_NO_FATAL_FAILURE(AnswerBox(L"Ostrel", lookupMessage, BoxIcon::Stop));
    ASSERT_NO_FATAL_FAILURE(AnswerBox(L"Ostrel", kNotFound, BoxIcon::Stop));
    ASSERT_TRUE(WaitForStatus(status)) << testing::PrintToString(Status());
    EXPECT_TRUE(WaitForProgress(0)) << Progress();
    EXPECT_TRUE(WaitForCommandsEnabled());
    ExpectNoOtherWindow();
  }
};

TEST_F(MissingCard, NoCaptureDeviceAtAllFailsTheSaveAndLeavesNoFile) {
  // The prefix's capture category emptied for the test's lifetime.
  std::optional<CaptureDevices> noDevices;
  if (const std::string why = EmptyCaptureCategory(noDevices); !why.empty()) GTEST_SKIP() << why;
  ASSERT_NO_FATAL_FAILURE(StartProgram());

  const auto target = files_ / "board.bin";
  ASSERT_TRUE(SaveTo(target));
  ASSERT_NO_FATAL_FAILURE(ExpectLookupFailure(L"FindFilterByName: Couldn't find enumerator!",
                                              L"Reading out Board EEPROM content failed!!!"));
  EXPECT_EQ(files_.Names(), std::vector<std::string>{});
  ExpectCardUntouched();
}

TEST_F(MissingCard, ACardThatCannotBeCreatedFailsTheWrite) {
  card_.SetConfig("no_such_setting=1\n");
  const auto source = files_ / "board.bin";
  WriteWholeFile(source, DistinctBytes(256, 17));
  ASSERT_NO_FATAL_FAILURE(StartProgram());

  ASSERT_TRUE(WriteFrom(source));
  ASSERT_NO_FATAL_FAILURE(ExpectLookupFailure(L"FindFilterByName: BindToObject failed!",
                                              L"Writing to Board-EEPROM failed!!!"));
  EXPECT_FALSE(card_.HasLog());
  const std::vector<std::string> notes = card_.ModuleNotes();
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes.front().rfind("open failed", 0), 0u) << notes.front();
  ExpectCardReleasedEverything(1);
}

}  // namespace
}  // namespace ostrel_commands
