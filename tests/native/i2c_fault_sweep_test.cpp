// Fails every single I2C transaction of the four transfers as the commands
// run them, once with a failure code and once with a positive success code
// other than S_OK, and checks what the operator sees and what is left on the
// card and on disk.
#include <gtest/gtest.h>

#include <iostream>

#include "support/caller_trace.h"
#include "support/command_bench.h"
#include "commands/card_use_texts.h"

namespace {

using Strings = std::vector<std::string>;
using Op = FaultyFileSystem::Op;

constexpr std::size_t kPreparation = 3;
constexpr std::size_t kPages = 512;
constexpr std::size_t kDspTransactions = kPreparation + kPages + 2;

Bytes Inverted(const Bytes& bytes, std::size_t size) {
  Bytes out(size, 0x00);
  for (std::size_t i = 0; i < size; ++i)
    out[i] = static_cast<std::uint8_t>(~(i < bytes.size() ? bytes[i] : 0xFF));
  return out;
}

// What the operator must see, and how far the transfer got, when transaction
// n fails.
struct Outcome {
  Strings shown;             // status lines and message boxes in order
  std::size_t requests = 0;  // transactions sent in all
  bool succeeded = false;    // the command's own result
  bool restored = true;      // channel decoder back as it was
};

// The DSP transfers share their shape: preparation, pages, restore.
Outcome DspOutcome(std::size_t n, bool write) {
  const std::string start =
      write ? "status: Programming the EEPROM..." : "status: Reading from DSP-EEPROM...";
  const std::string failed = write ? "status: Writing to EEPROM failed!!!"
                                   : "status: Reading out DSP EEPROM content failed!!!";
  const std::string done = write ? "status: EEPROM content successfully written to EEPROM!"
                                 : "status: DSP EEPROM content successfully stored to file!";
  Outcome o;
  if (n == 1) {
    o.shown = {start, "error: PrepareChDecGPIO3: I2C-read from channel decoder failed!", failed};
    o.requests = 1;
    return o;
  }
  if (n <= kPreparation) {
    // Nothing is undone after a failed preparation: a rewritten register set stays.
    o.shown = {start, "error: PrepareChDecGPIO3: I2C-write to channel decoder failed!", failed};
    o.requests = n;
    o.restored = n == 2;
    return o;
  }
  if (n <= kPreparation + kPages) {
    const std::string page = std::to_string(n - kPreparation - 1);
    o.shown = {start,
               std::string("error: ReadEEPROM: I2C-") + (write ? "write" : "read") +
                   " to DSP EEPROM failed (page " + page + ")!",
               failed};
    o.requests = n + 2;
    return o;
  }
  // A failed restore shows its message; the transfer keeps its own result.
  o.shown = {start, "error: RestoreChDecSettings: I2C-write to channel decoder failed!", done};
  if (write)
    o.shown.push_back(
        "notice: Please reboot the system to feed the new settings into the channel decoder!");
  o.requests = n;
  o.succeeded = true;
  o.restored = false;
  return o;
}

Outcome BoardSaveOutcome(std::size_t n) {
  Outcome o;
  o.shown = {"status: Reading from Board-EEPROM...",
             "error: ReadEEPROM: I2C-read to Board EEPROM failed",
             "status: Reading out Board EEPROM content failed!!!"};
  o.requests = n;
  return o;
}

Outcome BoardWriteOutcome(std::size_t n) {
  Outcome o;
  o.shown = {"status: Programming the Board-EEPROM..."};
  if (n > 256) o.shown.push_back("status: Verifying written data...");
  o.shown.push_back(n <= 256 ? "error: ReadEEPROM: I2C-write to Board-EEPROM failed"
                             : "error: ReadEEPROM: I2C-read to Board EEPROM failed");
  o.shown.push_back("status: Writing to Board-EEPROM failed!!!");
  o.requests = n;
  return o;
}

void Count(std::size_t positions, const char* what = "failure") {
  std::cout << "I2C fault sweep: " << positions << " " << what << " positions swept\n";
}

class I2CFaultSweep : public ::testing::TestWithParam<KsResult> {
 protected:
  // Checks what every command must leave behind, whatever failed.
  static void ExpectCommonEnd(CommandBench& bench, const Outcome& expected, std::size_t n,
                              CardUse use, const Here& where = Here::current()) {
    const CallerTrace caller(where);
    SCOPED_TRACE(testing::Message() << "transaction " << n);
    EXPECT_EQ(bench.view().StatusAndMessages(), expected.shown);
    EXPECT_EQ(bench.card.Requests().size(), expected.requests);
    EXPECT_EQ(bench.card.card.ChDecRestored(), expected.restored);
    EXPECT_EQ(bench.card.connector.OpenConnections(), 0);
    EXPECT_TRUE(bench.view().commandsEnabled);
    EXPECT_EQ(bench.machine.events, bench.ClaimAroundRequests(use));
    if (!expected.succeeded) {
      EXPECT_EQ(bench.view().position, 0);
    }
  }
};

TEST_P(I2CFaultSweep, BoardSave) {
  const Bytes precious = DistinctBytes(256, 99);
  for (std::size_t n = 1; n <= 32; ++n) {
    CommandBench bench;
    bench.card.card.BoardEeprom() = DistinctBytes(256);
    WriteWholeFile(bench.folder / "board.bin", precious);
    bench.host.answer = bench.folder / "board.bin";
    bench.card.card.FailTransaction(n, GetParam());
    bench.Save();
    ExpectCommonEnd(bench, BoardSaveOutcome(n), n, CardUse::Reading);
    EXPECT_EQ(ReadWholeFile(bench.folder / "board.bin"), precious) << n;
    EXPECT_EQ(bench.folder.Names(), Strings{"board.bin"}) << n;
  }
  Count(32);
}

TEST_P(I2CFaultSweep, BoardWriteWithVerification) {
  const Bytes image = DistinctBytes(256, 5);
  const Bytes before = Inverted(image, 256);
  for (std::size_t n = 1; n <= 256 + 32; ++n) {
    CommandBench bench;
    bench.card.card.BoardEeprom() = before;
    WriteWholeFile(bench.folder / "image.bin", image);
    bench.host.answer = bench.folder / "image.bin";
    bench.card.card.FailTransaction(n, GetParam());
    bench.Write();
    ExpectCommonEnd(bench, BoardWriteOutcome(n), n, CardUse::Writing);
    const std::size_t written = std::min<std::size_t>(n - 1, 256);
    const Bytes& eeprom = bench.card.card.BoardEeprom();
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(written),
                           eeprom.begin()))
        << n;
    EXPECT_TRUE(std::equal(before.begin() + static_cast<std::ptrdiff_t>(written), before.end(),
                           eeprom.begin() + static_cast<std::ptrdiff_t>(written)))
        << "nothing written past the failure at " << n;
  }
  Count(256 + 32);
}

TEST_P(I2CFaultSweep, DspSave) {
  const Bytes precious = DistinctBytes(1000, 98);
  for (std::size_t n = 1; n <= kDspTransactions; ++n) {
    CommandBench bench;
    bench.host.settings.kind = EepromKind::ChannelDecoder;
    bench.card.card.DspEeprom() = DistinctBytes(32768, 7);
    WriteWholeFile(bench.folder / "dsp.bin", precious);
    bench.host.answer = bench.folder / "dsp.bin";
    bench.card.card.FailTransaction(n, GetParam());
    bench.Save();
    const Outcome expected = DspOutcome(n, false);
    ExpectCommonEnd(bench, expected, n, CardUse::Reading);
    EXPECT_EQ(ReadWholeFile(bench.folder / "dsp.bin"),
              expected.succeeded ? DistinctBytes(32768, 7) : precious)
        << n;
    EXPECT_EQ(bench.folder.Names(), Strings{"dsp.bin"}) << n;
  }
  Count(kDspTransactions);
}

TEST_P(I2CFaultSweep, DspWriteOf32767Bytes) {
  const Bytes image = DspImage(16378, 0);
  const Bytes before = Inverted(image, 32768);
  for (std::size_t n = 1; n <= kDspTransactions; ++n) {
    CommandBench bench;
    bench.host.settings.kind = EepromKind::ChannelDecoder;
    bench.card.card.DspEeprom() = before;
    WriteWholeFile(bench.folder / "image.bin", image);
    bench.host.answer = bench.folder / "image.bin";
    bench.card.card.FailTransaction(n, GetParam());
    bench.Write();
    const Outcome expected = DspOutcome(n, true);
    ExpectCommonEnd(bench, expected, n, CardUse::Writing);
    const std::size_t pages = n <= kPreparation ? 0 : std::min(n - kPreparation - 1, kPages);
    const auto written =
        static_cast<std::ptrdiff_t>(std::min<std::size_t>(pages * 64, image.size()));
    const Bytes& eeprom = bench.card.card.DspEeprom();
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + written, eeprom.begin())) << n;
    EXPECT_TRUE(std::equal(before.begin() + static_cast<std::ptrdiff_t>(pages * 64), before.end(),
                           eeprom.begin() + static_cast<std::ptrdiff_t>(pages * 64)))
        << "nothing written past the failure at " << n;
  }
  Count(kDspTransactions);
}

// The session ends while the failure's box is open, or the PC goes to sleep
// while request n is under way and nothing fails (heard where the program
// next looks at its messages: a wait, a paint): Windows may then end the
// program or stop the PC at once. Whatever it was doing, everything the
// command changed is put back inside that moment, each undo step once, the
// claim let go in order, and nothing is sent or shown afterwards; sleep is
// told once, when the PC is awake again (one wake notice or two).
class I2CFaultSweepSessionEnd : public ::testing::TestWithParam<bool> {};  // or sleep

TEST_P(I2CFaultSweepSessionEnd, EveryPositionOfEveryCommand) {
  struct Swept {
    const char* what;
    bool dsp;
    bool save;
    std::size_t positions;
    Outcome (*outcome)(std::size_t);
    const char* failed;  // the command's failure status
  };
  const Swept commands[] = {
      {"board save", false, true, 32, BoardSaveOutcome,
       "status: Reading out Board EEPROM content failed!!!"},
      {"board write", false, false, 256 + 32, BoardWriteOutcome,
       "status: Writing to Board-EEPROM failed!!!"},
      {"DSP save", true, true, kDspTransactions, [](std::size_t n) { return DspOutcome(n, false); },
       "status: Reading out DSP EEPROM content failed!!!"},
      {"DSP write", true, false, kDspTransactions,
       [](std::size_t n) { return DspOutcome(n, true); }, "status: Writing to EEPROM failed!!!"},
  };
  const bool sleep = GetParam();
  std::size_t swept = 0;
  for (const Swept& c : commands) {
    const Bytes file =
        c.save ? DistinctBytes(1000, 97) : (c.dsp ? DspImage(16378, 0) : DistinctBytes(256, 5));
    // Once its own restore is under way, a DSP transfer is done with the card.
    const std::size_t positions = sleep && c.dsp ? kPreparation + kPages : c.positions;
    for (std::size_t n = 1; n <= positions; ++n, ++swept) {
      SCOPED_TRACE(testing::Message() << c.what << ", transaction " << n);
      CommandBench bench;
      bench.host.settings.kind = c.dsp ? EepromKind::ChannelDecoder : EepromKind::Board;
      WriteWholeFile(bench.folder / "file.bin", file);
      bench.host.answer = bench.folder / "file.bin";
      if (!sleep) bench.card.card.FailTransaction(n, kKsFail);
      std::optional<std::size_t> requestsWhenEnded;
      const auto end = [&] {
        if (requestsWhenEnded) return;
        sleep ? bench.runner.Suspend() : bench.runner.EndSession();
        if (sleep) bench.runner.Woken();  // awake before the command has unwound
        requestsWhenEnded = bench.card.card.Log().size();
      };
      const auto heard = [&] {
        if (sleep && bench.card.card.Log().size() >= n) end();
      };
      bench.card.clock.onWait = [&](std::uint32_t) { heard(); };
      bench.host.view.onPaint = heard;
      bench.host.view.onBox = [&] {
        bench.machine.Note("box");
        if (!sleep) end();
      };
      c.save ? bench.Save() : bench.Write();
      bench.runner.Woken();  // the operator's wake notice after the automatic one
      bench.runner.TellOfSleep();

      Outcome expected = c.outcome(n);
      std::erase_if(expected.shown, [&](const std::string& shown) {
        return shown.rfind(sleep ? "error: " : "notice: ", 0) == 0;
      });
      expected.shown.back() = c.failed;  // cut short, a command is never done
      if (sleep) {
        // Heard after the request, or after the switch's last one; the
        // restore is sent at once.
        expected.requests = c.dsp ? std::max(n, kPreparation) + 2 : n;
        expected.shown.push_back(std::string("error: ") + kSleptMessage);
      }
      EXPECT_EQ(bench.view().StatusAndMessages(), expected.shown);
      EXPECT_EQ(bench.view().position, 0);
      EXPECT_EQ(requestsWhenEnded, expected.requests) << "all sent by the session's end";
      EXPECT_EQ(bench.card.Requests().size(), expected.requests) << "nothing after it";
      EXPECT_EQ(bench.card.card.ChDecRestored(), sleep || expected.restored);
      EXPECT_EQ(bench.card.connector.OpenConnections(), 0);
      EXPECT_EQ(ReadWholeFile(bench.folder / "file.bin"), file);
      EXPECT_EQ(bench.folder.Names(), Strings{"file.bin"});
      EXPECT_EQ(bench.files.Count(Op::Remove), c.save ? 1u : 0u) << "the temporary file, once";
      Strings steps = {"lock",         c.save ? "awake, reading" : "awake, writing",
                       "timer raised", "timer lowered",
                       "may sleep",    "box",
                       "unlock"};
      if (sleep) std::swap(steps[5], steps[6]);  // the sleep box once the claim has gone
      EXPECT_EQ(bench.machine.Steps(), steps);
    }
  }
  Count(swept, sleep ? "sleep" : "session end");
}

INSTANTIATE_TEST_SUITE_P(Cut, I2CFaultSweepSessionEnd, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& sleep) {
                           return sleep.param ? std::string("Sleep") : std::string("SessionEnd");
                         });

INSTANTIATE_TEST_SUITE_P(Codes, I2CFaultSweep, ::testing::Values(kKsFail, KsResult{1}),
                         [](const ::testing::TestParamInfo<KsResult>& code) {
                           return code.param == kKsFail ? std::string("FailureCode")
                                                        : std::string("PositiveCode");
                         });

}  // namespace
