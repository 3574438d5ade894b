#pragma once

// The read-only check of the card: what it tells the operator before it
// asks, and the reads, comparisons and files once the operator agreed.

#include <string>

#include "check_report.h"
#include "common/file.h"
#include "common/waiter.h"

inline constexpr wchar_t kReportName[] = L"card-check.txt";
inline constexpr wchar_t kBoardName[] = L"board-eeprom.bin";
inline constexpr wchar_t kDspName[] = L"dsp-eeprom.bin";

// Looks the card up as Ostrel does and names it in the report's first line,
// the virtual card as such; false when there is none.
bool IdentifyCard(CheckReport& report);

// Exactly what the check will do, for the operator to agree to.
std::string ConsentRequest(const FilePath& folder);

// Reads the decoder's registers, the board EEPROM twice, the DSP EEPROM twice
// and the registers again; reports the comparisons, the times and the
// requests, and saves what it read and the report into folder. Paces its
// requests on waiter.
void CheckCard(FileSystem& files, Waiter& waiter, const FilePath& folder, CheckReport& report);
