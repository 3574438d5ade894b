#include "commands/save_command.h"

#include <vector>

#include "claim/undoable_connector.h"
#include "eeprom/board_eeprom.h"
#include "eeprom/dsp_eeprom.h"
#include "eeprom/dsp_image.h"
#include "commands/board_size_check.h"
#include "commands/command_view.h"
#include "commands/pending_save.h"

namespace {

struct SaveTexts {
  const char* reading;
  const char* stored;
  const char* failed;
};

constexpr SaveTexts kDspTexts = {"Reading from DSP-EEPROM...",
                                 "DSP EEPROM content successfully stored to file!",
                                 "Reading out DSP EEPROM content failed!!!"};
constexpr SaveTexts kBoardTexts = {"Reading from Board-EEPROM...",
                                   "Board EEPROM content successfully stored to file!",
                                   "Reading out Board EEPROM content failed!!!"};

bool ReadBoardIntoFile(const TransferContext& context, File& file, std::int32_t size) {
  // Rounded up so that the last 8-byte piece has room; the file gets size bytes.
  std::vector<std::uint8_t> buffer(BoardReadBufferSize(size));
  if (!ReadBoardEEPROM(context, buffer, size)) return false;
  if (!file.Write(std::span(buffer).first(static_cast<std::size_t>(size)))) {
    context.view.ShowError("File can't be written");
    return false;
  }
  return true;
}

}  // namespace

void OnSaveToFile(CommandHost& host, const CommandServices& services) {
  CommandView view(host.View(), services.card);
  const CommandSettings settings = host.Settings();
  if (!AcceptBoardSize(settings, view)) return;

  const std::optional<FilePath> path = host.AskFileToSave();
  if (!path) return;
  std::unique_ptr<PendingSave> save =
      PendingSave::Begin(services.files, services.waiter, services.card.Undo(), *path);
  if (!save) {
    view.ShowError("File can't be created");
    return;
  }

  view.SetProgressPos(0);
  view.EnableCommands(false);
  UndoableConnector connector(services.connector, services.card.Undo());
  const TransferContext context{view, connector, services.waiter, services.card.Undo()};
  const bool dsp = settings.kind == EepromKind::ChannelDecoder;
  const SaveTexts& texts = dsp ? kDspTexts : kBoardTexts;
  view.SetProgressRange(dsp ? kDspEepromSize : settings.selectedSize);
  view.SetStatusText(texts.reading);

  CardClaim claim = view.ClaimCard(CardUse::Reading);
  // Cut short (the session ended, the PC slept), a save keeps nothing.
  bool saved = claim &&
               (dsp ? ReadDSPEEPROM(context, save->file())
                    : ReadBoardIntoFile(context, save->file(), settings.selectedSize)) &&
               !view.CutShort();
  claim.Release();
  if (saved) {
    saved = save->Commit();
    if (!saved) view.ShowError("File can't be written");
  } else if (!save->Discard()) {
    view.ShowError("File can't be written");
  }
  if (saved) {
    view.SetStatusText(texts.stored);
  } else {
    view.SetProgressPos(0);
    view.SetStatusText(texts.failed);
  }
  view.EnableCommands(true);
}
