// What a command does about the machine around it: the card claimed for one
// program at a time, the system kept awake meanwhile, and a save that waits
// for a virus scanner to let go of its file.
#include <gtest/gtest.h>

#include <stdexcept>

#include "support/command_bench.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;
using Op = FaultyFileSystem::Op;

struct Command {
  EepromKind kind;
  bool save;
  Bytes file;          // an existing target, or the image to write
  const char* failed;  // the command's failure status
};

const Command kCommands[] = {
    {EepromKind::Board, true, DistinctBytes(256, 1), "Reading out Board EEPROM content failed!!!"},
    {EepromKind::Board, false, DistinctBytes(256, 2), "Writing to Board-EEPROM failed!!!"},
    {EepromKind::ChannelDecoder, true, DistinctBytes(300, 3),
     "Reading out DSP EEPROM content failed!!!"},
    {EepromKind::ChannelDecoder, false, DspImage(145, 0), "Writing to EEPROM failed!!!"},
};

void RunCommand(CommandBench& bench, const Command& c) {
  bench.host.settings.kind = c.kind;
  WriteWholeFile(bench.folder / "file.bin", c.file);
  bench.host.answer = bench.folder / "file.bin";
  c.save ? bench.Save() : bench.Write();
}

TEST(CardClaim, WhenTheLockIsNotOursEachCommandSaysWhyAndEndsBeforeAnyLookup) {
  struct Refusal {
    LockAnswer answer;
    const char* lockStep;
    std::string message;
  };
  const Refusal refusals[] = {
      {{LockAnswer::State::HeldElsewhere, 0},
       "lock refused 0/0",
       "Another Ostrel is using the card. Try again when it has finished."},
      {{LockAnswer::State::Abandoned, 0},
       "lock abandoned 0/0",
       "The last command on the card was cut off, and the card may not have been put back. "
       "Restart the PC, then try again."},
      {{LockAnswer::State::Unknown, 6},
       "lock unknown 0/0",
       "Ostrel can't check whether another program is using the card (error 6). Restart the PC "
       "and try again."},
  };
  for (const Refusal& r : refusals) {
    for (const Command& c : kCommands) {
      CommandBench bench;
      bench.machine.lockAnswer = r.answer;
      RunCommand(bench, c);
      const std::string where = std::string(r.lockStep) + ", " + c.failed;
      EXPECT_EQ(bench.view().StatusAndMessages().back(), std::string("status: ") + c.failed);
      EXPECT_EQ(bench.view().Messages(), Strings{"error: " + r.message}) << where;
      EXPECT_EQ(bench.view().position, 0) << where;
      EXPECT_TRUE(bench.view().commandsEnabled) << where;
      EXPECT_EQ(bench.card.connector.TimesOpened(), 0) << where;
      EXPECT_TRUE(bench.card.Requests().empty()) << where;
      EXPECT_EQ(bench.machine.events, (Strings{r.lockStep, "box 0/0"}))
          << "nothing held: " << where;
      EXPECT_EQ(ReadWholeFile(bench.folder / "file.bin"), c.file) << where;
      EXPECT_EQ(bench.folder.Names(), Strings{"file.bin"}) << where;
    }
  }
}

TEST(CardClaim, CoversEveryLookupAndTheSettlingPauseOfAVerifiedWrite) {
  CommandBench verified;
  // The last wait so far when each step happens.
  verified.machine.state = [&] {
    const std::vector<std::uint32_t>& waits = verified.card.clock.Waits();
    return waits.empty() ? std::string("-") : std::to_string(waits.back());
  };
  RunCommand(verified, kCommands[1]);
  ASSERT_EQ(verified.view().Messages().size(), 1u);
  EXPECT_EQ(verified.machine.events,
            (Strings{"lock -", "awake, writing -", "timer raised -", "timer lowered 1000",
                     "may sleep 1000", "unlock 1000", "box 1000"}));

  // A lookup that finds no card is inside the claim too; its boxes are not.
  CommandBench missing;
  missing.card.connector.SetCardPresent(false);
  RunCommand(missing, kCommands[0]);
  const Strings box = {"timer lowered 0/0", "may sleep 0/0", "box 0/0", "awake, reading 0/0",
                       "timer raised 0/0"};
  Strings expected = {"lock 0/0", "awake, reading 0/0", "timer raised 0/0"};
  expected.insert(expected.end(), box.begin(), box.end());
  expected.insert(expected.end(), box.begin(), box.end());
  expected.insert(expected.end(), {"timer lowered 0/0", "may sleep 0/0", "unlock 0/0"});
  EXPECT_EQ(missing.machine.events, expected);
}

// The session may end while a command waits on the card or in its pause:
// what it changed is put back then, nothing is sent afterwards, and the
// command ends as a failure without a box.
TEST(CardClaim, ASessionEndedDuringAWaitEndsTheCommandAsAFailure) {
  struct During {
    const char* what;
    const Command& command;
    std::uint32_t waitMs;  // the session ends in the first wait this long after 4 requests
    std::size_t requests;  // sent in all
  };
  const During durings[] = {
      {"the pause of a verified board write", kCommands[1], 1000, 256 + 32},
      {"the wait before page 1 of a DSP save", kCommands[2], 20, 3 + 1 + 2},
  };
  for (const During& d : durings) {
    SCOPED_TRACE(d.what);
    CommandBench bench;
    bench.card.clock.onWait = [&](std::uint32_t ms) {
      if (ms == d.waitMs && bench.card.Requests().size() >= 4) bench.machine.access.EndNow();
    };
    RunCommand(bench, d.command);
    EXPECT_EQ(bench.view().StatusAndMessages().back(), std::string("status: ") + d.command.failed);
    EXPECT_TRUE(bench.view().Messages().empty());
    EXPECT_EQ(bench.view().position, 0);
    EXPECT_EQ(bench.card.Requests().size(), d.requests);
    EXPECT_TRUE(bench.card.card.ChDecRestored());
    EXPECT_EQ(ReadWholeFile(bench.folder / "file.bin"), d.command.file);
    EXPECT_EQ(bench.folder.Names(), Strings{"file.bin"});
  }
}

// One claim at a time in a program, and none once it is being ended: asking
// otherwise is the program's own mistake, asserted in debug builds and
// refused otherwise; the live claim is not disturbed.
TEST(CardClaim, OneAtATimeAndNoneOnceTheProgramIsEnded) {
  struct Mistake {
    const char* what;
    void (*before)(CardAccess&);
    CardClaim::Refusal refusal;
  };
  const Strings live = {"lock",          "awake, reading", "timer raised",
                        "timer lowered", "may sleep",      "unlock"};
  const Mistake mistakes[] = {
      {"while one lives", [](CardAccess&) {}, CardClaim::Refusal::AnotherLives},
      {"while a cut one is still held", [](CardAccess& a) { a.Suspend(); },
       CardClaim::Refusal::AnotherLives},
      {"after the end", [](CardAccess& a) { a.EndNow(); }, CardClaim::Refusal::SessionEnded},
  };
  for (const Mistake& m : mistakes) {
    SCOPED_TRACE(m.what);
    FakeMachine machine{nullptr};
    CardClaim first = machine.access.Claim(CardUse::Reading);
    ASSERT_TRUE(first);
    m.before(machine.access);
    CardClaim second;
    EXPECT_DEBUG_DEATH(second = machine.access.Claim(CardUse::Writing), "");
#ifdef NDEBUG
    EXPECT_EQ(second.WhyRefused(), m.refusal);
#endif
    EXPECT_FALSE(second);
    first.Release();
    EXPECT_EQ(machine.Steps(), live) << "the lock taken once and let go once";
  }
}

// A box pauses the claim that lives as it opens, and its end resumes that
// claim alone: not one let go or cut meanwhile, nor one taken since.
TEST(CardClaim, ABoxResumesOnlyTheClaimItPaused) {
  struct InTheBox {
    const char* what;
    void (*meanwhile)(CardAccess&, CardClaim&);
    bool resumed;  // or else let go in the box; a claim taken since goes its own way
    bool another;
  };
  const InTheBox cases[] = {
      {"nothing", [](CardAccess&, CardClaim&) {}, true, false},
      {"the claim let go", [](CardAccess&, CardClaim& c) { c.Release(); }, false, false},
      {"the claim cut by sleep", [](CardAccess& a, CardClaim&) { a.Suspend(); }, false, false},
      {"the claim let go and another taken",
       [](CardAccess& a, CardClaim& c) {
         c.Release();
         c = a.Claim(CardUse::Writing);
       },
       false, true},
  };
  const Strings paused = {"lock", "awake, writing", "timer raised", "timer lowered", "may sleep"};
  for (const InTheBox& c : cases) {
    SCOPED_TRACE(c.what);
    FakeMachine machine{nullptr};
    CardClaim claim = machine.access.Claim(CardUse::Writing);
    {
      const CardAccess::OperatorWait box(machine.access);
      c.meanwhile(machine.access, claim);
    }
    claim.Release();
    Strings expected = paused;
    if (c.resumed) expected.insert(expected.end(), paused.begin() + 1, paused.end());
    expected.push_back("unlock");
    if (c.another) {
      const Strings first = expected;
      expected.insert(expected.end(), first.begin(), first.end());
    }
    EXPECT_EQ(machine.Steps(), expected);
  }
}

// What a command changed is put back whatever one undo step does: a step
// that throws is reported, counts as not done, and the others still run,
// each once, the latest first; when the steps run together and when each
// goes with its owner.
TEST(UndoSteps, AStepThatThrowsIsReportedAndTheOthersStillRunOnceLatestFirst) {
  struct Throwing {
    const char* what;
    void (*raise)();
    bool together;  // the steps run as the program is ended, or each as its owner goes
  };
  const Throwing cases[] = {
      {"a standard exception, together", [] { throw std::runtime_error("card gone"); }, true},
      {"anything else, as its owner goes", [] { throw 7; }, false},
  };
  for (const Throwing& t : cases) {
    SCOPED_TRACE(t.what);
    UndoSteps steps;
    Strings ran;
    std::vector<UndoSteps::Undone> undone;
    const auto step = [&](const char* name) {
      return [&ran, &t, name] {
        ran.emplace_back(name);
        if (name == std::string("second")) t.raise();
        return true;
      };
    };
    testing::internal::CaptureStderr();
    {
      const UndoStep first(steps, "first", step("first"));
      const UndoStep second(steps, "second", step("second"));
      const UndoStep third(steps, "third", step("third"));
      if (t.together) undone = steps.RunAll();
    }
    const std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ran, (Strings{"third", "second", "first"}));
    EXPECT_NE(reported.find("putting back the second failed"), std::string::npos) << reported;
    if (!t.together) continue;
    ASSERT_EQ(undone.size(), 3u);
    EXPECT_EQ(undone[1].what, "second");
    EXPECT_EQ((std::vector<bool>{undone[0].done, undone[1].done, undone[2].done}),
              (std::vector<bool>{true, false, true}));
  }
}

TEST(BusyFile, AReplaceOrRemovalTriesAgainForAbout2sWhileAnotherProgramHoldsTheFile) {
  constexpr std::uint32_t kStepMs = 50;
  const Command& save = kCommands[0];

  CommandBench briefly;
  briefly.card.card.BoardEeprom() = DistinctBytes(256, 7);
  briefly.files.BusyFor(Op::Replace, 2);
  RunCommand(briefly, save);
  EXPECT_TRUE(briefly.view().Messages().empty());
  EXPECT_EQ(briefly.view().status, "Board EEPROM content successfully stored to file!");
  EXPECT_EQ(ReadWholeFile(briefly.folder / "file.bin"), DistinctBytes(256, 7));
  EXPECT_EQ(briefly.card.clock.Waits(), (std::vector<std::uint32_t>{kStepMs, kStepMs}));

  CommandBench forever;
  forever.files.BusyFor(Op::Replace, 1000);
  RunCommand(forever, save);
  EXPECT_EQ(forever.view().Messages(), Strings{"error: File can't be written"});
  EXPECT_EQ(forever.view().status, save.failed);
  EXPECT_EQ(forever.view().position, 0);
  EXPECT_EQ(ReadWholeFile(forever.folder / "file.bin"), save.file);
  EXPECT_EQ(forever.folder.Names(), Strings{"file.bin"});
  EXPECT_EQ(forever.files.Count(Op::Replace), 41u);
  EXPECT_EQ(forever.card.clock.Waits(), std::vector<std::uint32_t>(40, kStepMs)) << "about 2 s";

  // The temporary file of a failed read, held for a moment.
  CommandBench removal;
  removal.card.card.FailTransaction(5);
  removal.files.BusyFor(Op::Remove, 2);
  RunCommand(removal, save);
  EXPECT_EQ(removal.view().Messages(),
            Strings{"error: ReadEEPROM: I2C-read to Board EEPROM failed"});
  EXPECT_EQ(removal.folder.Names(), Strings{"file.bin"});
  EXPECT_EQ(removal.files.Count(Op::Remove), 3u);
}

}  // namespace
