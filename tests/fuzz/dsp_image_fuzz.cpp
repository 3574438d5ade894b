// Fuzzes the DSP image check with arbitrary files: it must never read what
// the file did not supply (ASan), show exactly one message when it refuses,
// and accept only odd lengths within the EEPROM, leaving the file at its start.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "eeprom/dsp_image.h"
#include "memory_file.h"

namespace {

class CountingView final : public TransferView {
 public:
  void SetStatusText(const std::string&) override { ++other; }
  void SetProgressRange(std::int32_t) override { ++other; }
  void SetProgressPos(std::int32_t) override { ++other; }
  void EnableCommands(bool) override { ++other; }
  void ShowError(const std::string&) override { ++other; }
  void ShowNotice(const std::string&) override { ++other; }
  void ShowPlainMessage(const std::string& text, const std::string& caption) override {
    if (text != "The file format is not valid") std::abort();
    if (caption != "Bad bytes" && caption != "Bad length") std::abort();
    ++plain;
  }
  int plain = 0;
  int other = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryFile file({data, data + size});
  CountingView view;
  const std::int32_t length = CheckDSPImage(view, file);
  if (view.other != 0) std::abort();
  if (length == 0) {
    if (view.plain != 1) std::abort();
    return 0;
  }
  const bool plausible = length >= 11 && length <= 32768 && length % 2 == 1;
  const bool marked = size >= 9 && data[5] == 0x41 && data[6] == 0x80;
  if (!plausible || !marked || view.plain != 0 || file.position() != 0) std::abort();
  return 0;
}
