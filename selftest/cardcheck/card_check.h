#pragma once

// The read-only check of the card: what it tells the operator before it
// asks, and the reads, comparisons and files once the operator agreed.

#include <functional>
#include <string>

#include "claim/undo_steps.h"
#include "common/file.h"
#include "common/transfer_view.h"
#include "common/waiter.h"
#include "selftest/common/card_check_contract.h"
#include "selftest/common/report.h"

using selftest::Report;

inline constexpr wchar_t kBoardName[] = L"board-eeprom.bin";
inline constexpr wchar_t kDspName[] = L"dsp-eeprom.bin";

// What the transfers show the operator becomes lines of the report: their
// messages are failures; status and progress are left out.
class ReportView final : public TransferView {
 public:
  explicit ReportView(Report& report) : report_(report) {}

  void SetStatusText(const std::string&) override {}
  void SetProgressRange(std::int32_t) override {}
  void SetProgressPos(std::int32_t) override {}
  void EnableCommands(bool) override {}
  void ShowError(const std::string& text) override { report_.Failure("Error: " + text); }
  void ShowNotice(const std::string& text) override { report_.Failure("Error: " + text); }
  void ShowPlainMessage(const std::string& text, const std::string&) override {
    report_.Failure("Error: " + text);
  }

 private:
  Report& report_;
};

// Looks the card up as Ostrel does and names it in the report's first line,
// the virtual card as such; false when there is none.
bool IdentifyCard(Report& report);

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
               Report& report);

// The report as it stands, into its file.
void SaveReport(const CheckServices& services, Report& report);
