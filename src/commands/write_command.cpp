#include "commands/write_command.h"

#include <algorithm>
#include <vector>

#include "claim/undoable_connector.h"
#include "eeprom/board_eeprom.h"
#include "eeprom/dsp_eeprom.h"
#include "eeprom/dsp_image.h"
#include "commands/board_size_check.h"
#include "commands/command_view.h"

namespace {

constexpr std::uint32_t kSettleBeforeCompareMs = 1000;

void EndWithFailure(TransferView& view, const char* status) {
  view.SetProgressPos(0);
  view.SetStatusText(status);
  view.EnableCommands(true);
}

void WriteDspImage(CommandView& view, const TransferContext& context, std::unique_ptr<File> file) {
  constexpr const char* kFailed = "Writing to EEPROM failed!!!";
  const std::int32_t length = CheckDSPImage(view, *file);
  if (length == kDspImageFileError) {
    EndWithFailure(view, kFailed);
    return;
  }
  if (length == 0) return;  // refused: status, progress and buttons stay

  view.SetProgressRange(length);
  view.SetProgressPos(0);
  view.SetStatusText("Programming the EEPROM...");
  view.EnableCommands(false);
  CardClaim claim = view.ClaimCard(CardUse::Writing);
  // Cut short (the session ended, the PC slept), a write is never reported
  // done.
  const bool written = claim && WriteDSPEEPROM(context, *file, length) && !view.CutShort();
  claim.Release();
  file.reset();
  if (!written) {
    EndWithFailure(view, kFailed);
    return;
  }
  view.SetStatusText("EEPROM content successfully written to EEPROM!");
  view.EnableCommands(true);
  view.ShowNotice("Please reboot the system to feed the new settings into the channel decoder!");
}

// The board image as the file holds it; the file's length is the write
// count. Nothing after the message when the file can't be used.
std::optional<std::vector<std::uint8_t>> ReadBoardImage(TransferView& view, File& file,
                                                        const CommandSettings& settings) {
  const std::optional<std::uint64_t> length = file.Length();
  if (!length) {
    view.ShowError("File can't be read");
    view.SetProgressPos(0);
    view.SetStatusText("Writing to Board-EEPROM failed!!!");
    return std::nullopt;
  }
  // Longer than the EEPROM would run past both buffers; not longer than the
  // protected area leaves nothing to write or compare.
  if (*length > static_cast<std::uint64_t>(settings.selectedSize)) {
    view.ShowError("The file is larger than the selected EEPROM size!");
    return std::nullopt;
  }
  if (*length <= static_cast<std::uint64_t>(settings.startOffset)) {
    view.ShowError("The file holds no data to write!");
    return std::nullopt;
  }
  std::vector<std::uint8_t> image(static_cast<std::size_t>(*length));
  const std::optional<std::size_t> got = ReadFully(file, image);
  if (!got || *got != image.size()) {
    view.ShowError("File can't be read");
    view.SetProgressPos(0);
    view.SetStatusText("Writing to Board-EEPROM failed!!!");
    return std::nullopt;
  }
  return image;
}

// The read-back of a verified write into check, and the pause before the
// comparison.
bool ReadBack(TransferView& view, const TransferContext& context, std::int32_t count,
              std::vector<std::uint8_t>& check) {
  view.SetStatusText("Verifying written data...");
  check.resize(BoardReadBufferSize(count));
  if (!ReadBoardEEPROM(context, check, count)) return false;
  context.waiter.WaitMilliseconds(kSettleBeforeCompareMs);
  return true;
}

void WriteBoardImage(CommandView& view, const TransferContext& context, std::unique_ptr<File> file,
                     const CommandSettings& settings) {
  const std::optional<std::vector<std::uint8_t>> image = ReadBoardImage(view, *file, settings);
  if (!image) return;
  const auto count = static_cast<std::int32_t>(image->size());

  view.SetProgressRange(settings.selectedSize);
  view.SetStatusText("Programming the Board-EEPROM...");
  view.EnableCommands(false);
  std::vector<std::uint8_t> check;
  // Held through the write, the read-back and the pause after it. Cut short
  // (the session ended, the PC slept), a write is never reported done.
  CardClaim claim = view.ClaimCard(CardUse::Writing);
  const bool written =
      claim &&
      WriteBoardEEPROM(context, *image, count, settings.selectedSize, settings.startOffset) &&
      !view.CutShort() &&
      (!settings.verify || (ReadBack(view, context, count, check) && !view.CutShort()));
  claim.Release();
  file.reset();
  if (!written) {
    EndWithFailure(view, "Writing to Board-EEPROM failed!!!");
    return;
  }
  const auto from = static_cast<std::ptrdiff_t>(settings.startOffset);
  if (settings.verify && !std::equal(image->begin() + from, image->end(), check.begin() + from)) {
    view.SetStatusText("Verifying written data failed!");
    view.EnableCommands(true);
    view.ShowError("Verifying failed!");
    return;
  }
  view.SetStatusText("Board-EEPROM content successfully written to EEPROM!");
  view.EnableCommands(true);
  view.ShowNotice("Please reboot the system to apply the new settings!");
}

}  // namespace

void OnWriteToEEPROM(CommandHost& host, const CommandServices& services) {
  CommandView view(host.View(), services.card);
  const CommandSettings settings = host.Settings();
  if (!AcceptBoardSize(settings, view)) return;

  const std::optional<FilePath> path = host.AskFileToOpen();
  if (!path) return;
  std::unique_ptr<File> file = services.files.OpenForReading(*path);
  if (!file) {
    view.ShowError("File can't be opened");
    return;
  }
  UndoableConnector connector(services.connector, services.card.Undo());
  const TransferContext context{view, connector, services.waiter, services.card.Undo()};
  if (settings.kind == EepromKind::ChannelDecoder) {
    WriteDspImage(view, context, std::move(file));
  } else {
    WriteBoardImage(view, context, std::move(file), settings);
  }
}
