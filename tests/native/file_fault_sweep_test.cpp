// Fails every file operation of both commands in turn (the N-th read, write,
// seek, flush, replace, ... of a run) and checks that each ends as a clean
// failure: its message, the failure status, buttons enabled, the channel
// decoder restored, the operator's files intact and no temporary file left.
#include <gtest/gtest.h>

#include <functional>
#include <iostream>

#include "support/command_bench.h"

namespace {

using Strings = std::vector<std::string>;
using Op = FaultyFileSystem::Op;

constexpr Op kAllOps[] = {Op::Read, Op::Write, Op::Seek,       Op::Length,  Op::Flush,
                          Op::Open, Op::Probe, Op::CreateTemp, Op::Replace, Op::Remove};

struct Scenario {
  const char* name;
  EepromKind kind;
  bool save;
  Bytes fileBefore;    // the operator's file: an existing target, or the image
  const char* failed;  // the command's failure status
};

const Scenario kScenarios[] = {
    {"board save", EepromKind::Board, true, DistinctBytes(256, 1),
     "Reading out Board EEPROM content failed!!!"},
    {"board write", EepromKind::Board, false, DistinctBytes(256, 2),
     "Writing to Board-EEPROM failed!!!"},
    {"DSP save", EepromKind::ChannelDecoder, true, DistinctBytes(32768, 3),
     "Reading out DSP EEPROM content failed!!!"},
    {"DSP write", EepromKind::ChannelDecoder, false, DspImage(16378, 0),
     "Writing to EEPROM failed!!!"},
};

// The message a failed operation of this kind must give.
std::string MessageFor(Op op) {
  switch (op) {
    case Op::Open:
      return "error: File can't be opened";
    case Op::Probe:
    case Op::CreateTemp:
      return "error: File can't be created";
    case Op::Read:
    case Op::Seek:
    case Op::Length:
      return "error: File can't be read";
    default:
      return "error: File can't be written";
  }
}

void RunCommand(CommandBench& bench, const Scenario& s) {
  bench.host.settings.kind = s.kind;
  WriteWholeFile(bench.folder / "file.bin", s.fileBefore);
  bench.host.answer = bench.folder / "file.bin";
  if (s.save) {
    bench.Save();
  } else {
    bench.Write();
  }
}

TEST(FileFaultSweep, EveryFileOperationOfBothCommandsFailsCleanly) {
  std::size_t swept = 0;
  for (const Scenario& s : kScenarios) {
    CommandBench clean;
    RunCommand(clean, s);
    ASSERT_TRUE(clean.view().Messages().empty() ||
                clean.view().Messages().back().rfind("notice:", 0) == 0)
        << s.name << " must succeed without faults";
    for (Op op : kAllOps) {
      for (std::size_t n = 1; n <= clean.files.Count(op); ++n, ++swept) {
        CommandBench bench;
        bench.files.FailAt(op, n);
        RunCommand(bench, s);
        const std::string where = std::string(s.name) + ", op " +
                                  std::to_string(static_cast<int>(op)) + " #" + std::to_string(n);
        ASSERT_TRUE(bench.files.Failed()) << where;
        EXPECT_EQ(bench.view().Messages(), Strings{MessageFor(op)}) << where;
        const bool beforeAnyRequest = op == Op::Open || op == Op::Probe || op == Op::CreateTemp;
        if (beforeAnyRequest) {
          EXPECT_TRUE(bench.card.Requests().empty()) << where;
          EXPECT_EQ(bench.view().Events().size(), 1u) << "nothing else happens: " << where;
        } else {
          EXPECT_EQ(bench.view().status, s.failed) << where;
          EXPECT_EQ(bench.view().position, 0) << where;
        }
        EXPECT_TRUE(bench.view().commandsEnabled) << where;
        EXPECT_TRUE(bench.card.card.ChDecRestored()) << where;
        EXPECT_EQ(bench.card.connector.OpenConnections(), 0) << where;
        // Every claim here reaches the card.
        const CardUse use = s.save ? CardUse::Reading : CardUse::Writing;
        EXPECT_EQ(bench.machine.events,
                  bench.ClaimAroundRequests(bench.card.Requests().empty() ? std::nullopt
                                                                          : std::optional(use)))
            << where;
        EXPECT_EQ(ReadWholeFile(bench.folder / "file.bin"), s.fileBefore) << where;
        EXPECT_EQ(bench.folder.Names(), Strings{"file.bin"}) << "no temporary file: " << where;
      }
    }
  }
  std::cout << "file fault sweep: " << swept << " failure positions swept\n";
  EXPECT_GT(swept, 2u * 512u) << "every page write of the DSP save and page read of the DSP write";
}

TEST(FileFaultSweep, ATemporaryFileThatCannotBeDeletedIsReported) {
  CommandBench bench;
  WriteWholeFile(bench.folder / "file.bin", DistinctBytes(256, 4));
  bench.host.answer = bench.folder / "file.bin";
  bench.card.card.FailTransaction(5);
  bench.files.FailAt(Op::Remove, 1);
  bench.Save();
  EXPECT_EQ(bench.view().Messages(), (Strings{"error: ReadEEPROM: I2C-read to Board EEPROM failed",
                                              "error: File can't be written"}));
  EXPECT_EQ(bench.view().status, "Reading out Board EEPROM content failed!!!");
  EXPECT_EQ(ReadWholeFile(bench.folder / "file.bin"), DistinctBytes(256, 4));
  EXPECT_EQ(bench.folder.Names().size(), 2u) << "the undeletable temporary file stays";
}

}  // namespace
