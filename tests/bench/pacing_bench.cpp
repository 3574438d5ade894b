// Times the four EEPROM transfers with the real wait against the in-process
// simulated card, and compares each with its pacing floor (paced requests ×
// 20 ms). Prints one line per transfer; the target is a ratio of at most 1.02.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/file.h"
#include "eeprom/transfer_context.h"
#include "eeprom/board_eeprom.h"
#include "eeprom/dsp_eeprom.h"
#include "simcard/sim_card.h"
#include "simcard/sim_connector.h"
#include "simcard/steady_card_clock.h"

namespace {

class QuietView final : public TransferView {
 public:
  void SetStatusText(const std::string&) override {}
  void SetProgressRange(std::int32_t) override {}
  void SetProgressPos(std::int32_t) override {}
  void EnableCommands(bool) override {}
  void ShowError(const std::string& text) override {
    std::fprintf(stderr, "error: %s\n", text.c_str());
  }
  void ShowNotice(const std::string&) override {}
  void ShowPlainMessage(const std::string&, const std::string&) override {}
};

struct Rig {
  simcard::SteadyCardClock clock;
  simcard::SimCard card{clock, 256};
  simcard::SimConnector connector{card};
  QuietView view;
  std::unique_ptr<Waiter> waiter = MakePreciseWaiter();
  UndoSteps undo;
  TransferContext context{view, connector, *waiter, undo};
};

bool Measure(const char* name, int pacedRequests, const std::function<bool()>& transfer) {
  const auto start = std::chrono::steady_clock::now();
  const bool ok = transfer();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double floor = pacedRequests * 0.020;
  if (pacedRequests > 0) {
    std::printf("%-28s %8.3f s  floor %7.3f s  ratio %.4f%s\n", name, seconds, floor,
                seconds / floor, ok ? "" : "  FAILED");
  } else {
    std::printf("%-28s %8.3f s  (no paced requests)%s\n", name, seconds, ok ? "" : "  FAILED");
  }
  return ok;
}

}  // namespace

int main() {
  Rig rig;
  const std::unique_ptr<FileSystem> files = MakeNativeFileSystem();
  const FilePath image = std::filesystem::temp_directory_path() / "ostrel-bench-image.bin";
  bool ok = true;

  std::vector<std::uint8_t> board(256, 0x5A);
  ok &=
      Measure("board read, 256 bytes", 0, [&] { return ReadBoardEEPROM(rig.context, board, 256); });
  ok &= Measure("board write, 256 bytes", 256,
                [&] { return WriteBoardEEPROM(rig.context, board, 256, 256, 0); });

  FilePath temp;
  {
    std::unique_ptr<File> out = files->CreateTemporaryBeside(image, temp);
    ok &= out &&
          Measure("DSP read, 32768 bytes", 512, [&] { return ReadDSPEEPROM(rig.context, *out); });
  }
  files->Remove(temp);
  {
    FilePath source;
    std::unique_ptr<File> in = files->CreateTemporaryBeside(image, source);
    std::vector<std::uint8_t> bytes(32767, 0xA5);
    ok &= in && in->Write(bytes) && in->SeekTo(0) &&
          Measure("DSP write, 32767-byte image", 512,
                  [&] { return WriteDSPEEPROM(rig.context, *in, 32767); });
    in.reset();
    files->Remove(source);
  }
  return ok ? 0 : 1;
}
