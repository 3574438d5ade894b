// The real program's own share of each paced request, measured from outside:
// ostrel.exe runs a board write, a DSP save and a DSP write on the simulated
// card through its dialog, three times each, and the card's log tells when
// each request arrived and how long the card itself spent on it.
//
// The figure for one transfer: the time from one paced request's start to
// the next one's, less the card's own time on the first of the two, over the
// 20 ms wait between them, summed over the transfer. The interval before the
// first paced request counts where the command made a request just before it.
// 1.0 is the pacing floor; the target is at most 1.01. Prints each run's
// figure and the median of the three.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "command_end_to_end.h"
#include "dsp_image_bytes.h"

namespace ostrel_commands {
namespace {

constexpr double kPacingMicros = 20000.0;
constexpr int kRuns = 3;

// The figure for the requests of kind to device in log[from, end).
double OwnShare(const std::vector<LoggedTransaction>& log, std::size_t from,
                const std::string& kind, const std::string& device) {
  std::vector<std::size_t> paced;
  for (std::size_t i = from; i < log.size(); ++i) {
    if (log[i].kind == kind && log[i].device == device) paced.push_back(i);
  }
  if (paced.size() < 2) return 0.0;
  const std::size_t start = paced.front() > from ? paced.front() - 1 : paced.front();
  const std::size_t last = paced.back();
  const std::size_t intervals = paced.size() - (start == paced.front() ? 1 : 0);
  double span = static_cast<double>(log[last].timeMicros - log[start].timeMicros);
  for (std::size_t i = start; i < last; ++i) span -= static_cast<double>(log[i].ownMicros);
  return span / (kPacingMicros * static_cast<double>(intervals));
}

class DialogPacing : public CommandEndToEnd {
 protected:
  // Runs the command kRuns times and prints the figure of the transfer
  // whose paced requests are of kind to device.
  void Measure(const char* what, const std::string& kind, const std::string& device,
               const std::function<void(int run)>& command) {
    std::vector<double> figures;
    for (int run = 0; run < kRuns; ++run) {
      const std::size_t from = card_.Log().size();
      ASSERT_NO_FATAL_FAILURE(command(run));
      figures.push_back(OwnShare(card_.Log(), from, kind, device));
    }
    std::printf("own share per paced request: %-24s runs", what);
    for (const double figure : figures) std::printf(" %.4f", figure);
    std::sort(figures.begin(), figures.end());
    const double median = figures[kRuns / 2];
    std::printf("  median %.4f (%.0f us a request)\n", median, (median - 1.0) * kPacingMicros);
    std::fflush(stdout);
  }

  void AnswerRebootNotice() {
    const std::optional<ostrel_ui::MessageBoxSeen> notice =
        ostrel_ui::WaitForMessageBox(*program_, L"Ostrel");
    ASSERT_TRUE(notice);
    ASSERT_TRUE(ostrel_ui::AnswerMessageBox(notice->window));
  }
};

TEST_F(DialogPacing, BoardWrite) {
  card_.SetBoard(Bytes(256, 0xFF));
  const auto source = files_ / "board.bin";
  WriteWholeFile(source, Pattern(256, 41));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  Measure("board write, 256 bytes", "SET", "A0", [&](int) {
    Timing timing;
    ASSERT_NO_FATAL_FAILURE(FollowTransfer(
        WriteFrom(source), L"Programming the Board-EEPROM...",
        L"Board-EEPROM content successfully written to EEPROM!", [] {}, timing));
    ASSERT_NO_FATAL_FAILURE(AnswerRebootNotice());
  });
}

TEST_F(DialogPacing, DspSave) {
  card_.SetDsp(Pattern(32768, 5));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(SelectChannelDecoder());
  Measure("DSP save, 32768 bytes", "GET", "A2", [&](int run) {
    Timing timing;
    ASSERT_NO_FATAL_FAILURE(FollowTransfer(
        SaveTo(files_ / ("dsp" + std::to_string(run) + ".bin")), L"Reading from DSP-EEPROM...",
        L"DSP EEPROM content successfully stored to file!", [] {}, timing));
  });
}

TEST_F(DialogPacing, DspWrite) {
  card_.SetDsp(Pattern(32768, 9));
  const auto source = files_ / "dsp-image.bin";
  WriteWholeFile(source, DspImage(100, 16278));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(SelectChannelDecoder());
  Measure("DSP write, 32767 bytes", "SET", "A2", [&](int) {
    Timing timing;
    ASSERT_NO_FATAL_FAILURE(FollowTransfer(
        WriteFrom(source), L"Programming the EEPROM...",
        L"EEPROM content successfully written to EEPROM!", [] {}, timing));
    ASSERT_NO_FATAL_FAILURE(AnswerRebootNotice());
  });
}

}  // namespace
}  // namespace ostrel_commands
