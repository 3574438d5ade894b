#include "simcard/com/card_session.h"

#include <windows.h>

#include <string>
#include <utility>

#include "simcard/card_config.h"
#include "simcard/card_store.h"
#include "simcard/com/card_folder.h"
#include "simcard/com/request_hold.h"
#include "simcard/com/request_numbering.h"
#include "simcard/transaction_log_file.h"

namespace simcard::com {

namespace {

// Long enough for any test to act, short enough that one which never lets
// the request go fails instead of hanging.
constexpr DWORD kHoldLimitMs = 120000;

// What a card without a folder answers every request with: the device is
// not ready.
constexpr KsResult kNoCardResult = static_cast<KsResult>(HRESULT_FROM_WIN32(ERROR_NOT_READY));

constexpr wchar_t kNoFolderNote[] =
    L"Ostrel's simulated card: no card folder is named in OSTREL_SIMCARD_DIR, so it fails every "
    L"request.\n";

}  // namespace

std::unique_ptr<CardSession> CardSession::Open() {
  auto clock = std::make_unique<SteadyCardClock>();
  std::optional<std::filesystem::path> folder = FolderInEnvironment();
  if (!folder) {
    // No folder to note it in: a debugger or a debug-output viewer shows it.
    OutputDebugStringW(kNoFolderNote);
    return std::make_unique<CardSession>(nullptr, std::nullopt, std::move(clock));
  }
  std::string error;
  const std::optional<CardConfig> config = ReadCardConfig(*folder, error);
  std::unique_ptr<SimCard> card =
      config ? OpenCardFolder(*clock, *folder, *config, error) : nullptr;
  if (!card) {
    AppendModuleNote("open failed: " + error);
    return nullptr;
  }
  card->ContinueNumberingAfter(RequestsMadeOf(*folder));
  return std::make_unique<CardSession>(std::move(card), std::move(folder), std::move(clock),
                                       *config);
}

CardSession::CardSession(std::unique_ptr<SimCard> card, std::optional<std::filesystem::path> folder,
                         std::unique_ptr<SteadyCardClock> clock, const CardConfig& config)
    : clock_(std::move(clock)),
      card_(std::move(card)),
      folder_(std::move(folder)),
      holds_(config.holdRequests.begin(), config.holdRequests.end()),
      holdEvent_(config.holdEvent) {
  if (folder_) log_.open(*folder_ / kLogFileName, std::ios::binary | std::ios::app);
}

KsResult CardSession::KsProperty(void* property, std::uint32_t propertyLength, void* data,
                                 std::uint32_t dataLength, std::uint32_t* bytesReturned) {
  if (!card_) {
    *bytesReturned = 0;
    return kNoCardResult;
  }
  if (holds_.contains(card_->RequestsNumbered() + 1) && !HoldRequest(holdEvent_, kHoldLimitMs)) {
    AppendModuleNote("hold: the test's events are missing, or it did not let go");
  }
  const std::uint64_t arrived = clock_->NowMicros();
  const KsResult result =
      card_->KsProperty(property, propertyLength, data, dataLength, bytesReturned);
  RecordInFolder(arrived);
  return result;
}

bool CardSession::SaveMemory(std::uint8_t device) const {
  switch (device) {
    case kBoardEepromAddress:
      return SaveImage(*folder_ / kBoardImageName, card_->BoardEeprom());
    case kDspEepromAddress:
      return SaveImage(*folder_ / kDspImageName, card_->DspEeprom());
    case kChDecAddress:
      return SaveImage(*folder_ / kChDecImageName, card_->ChDecRegisters());
    default:
      return true;
  }
}

void CardSession::RecordInFolder(std::uint64_t arrived) {
  if (!folder_) return;
  const std::vector<Transaction>& log = card_->Log();
  // Like a real card, the state survives the connection and the process;
  // only the memory just written is saved again. A failed save is noted
  // rather than turned into a bus error the driver never reports.
  bool saved = true;
  for (std::size_t i = logged_; i < log.size(); ++i) {
    if (!log[i].wellFormed || log[i].kind != TransactionKind::Set || log[i].result != kKsOk)
      continue;
    saved = SaveMemory(log[i].device) && saved;
  }
  if (!saved) AppendModuleNote("save failed");
  SetRequestsMadeOf(*folder_, card_->RequestsNumbered());
  // Measured before the line is written, so that what a request costs the
  // driver can be told apart from what it costs the program that made it.
  card_->NoteLastRequest(static_cast<std::uint32_t>(GetCurrentProcessId()),
                         clock_->NowMicros() - arrived);
  if (!AppendLog(log, log_, logged_)) AppendModuleNote("log write failed");
  logged_ = log.size();
}

}  // namespace simcard::com
