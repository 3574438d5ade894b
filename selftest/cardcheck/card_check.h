#pragma once

// The read-only check of the card: what it tells the operator before it
// asks, and the reads, comparisons and files once the operator agreed.

#include <string>

#include <functional>

#include "check_report.h"
#include "common/file.h"
#include "claim/undo_steps.h"
#include "common/waiter.h"
#include "selftest/common/card_check_contract.h"

inline constexpr wchar_t kBoardName[] = L"board-eeprom.bin";
inline constexpr wchar_t kDspName[] = L"dsp-eeprom.bin";

// Looks the card up as Ostrel does and names it in the report's first line,
// the virtual card as such; false when there is none.
bool IdentifyCard(CheckReport& report);

// Exactly what the check will do, for the operator to agree to.
std::string ConsentRequest(const FilePath& folder);

// What the check works with. Files are saved as Ostrel saves them (whole or
// not at all, with its retries while a scanner holds them), waiting with
// waiter; what the check changes registers in undo; stopPoint is called
// between its steps, where it may be stopped.
struct CheckServices {
  FileSystem& files;
  Waiter& waiter;
  UndoSteps& undo;
  std::function<void()> stopPoint;
};

// Reads the decoder's registers, the board EEPROM twice, the DSP EEPROM twice
// and the registers again; reports the comparisons, the times and the
// requests, and saves what it read and the report into folder. Paces its
// requests on pacing.
void CheckCard(const CheckServices& services, Waiter& pacing, const FilePath& folder,
               CheckReport& report);

// The report as it stands, into folder.
void SaveReport(const CheckServices& services, const FilePath& folder, CheckReport& report);
