#include "card_check.h"

#include <chrono>
#include <functional>
#include <optional>
#include <span>
#include <utility>

#include "card_reads.h"
#include "commands/pending_save.h"
#include "claim/undoable_connector.h"
#include "common/win32_text.h"
#include "device/filter_connection.h"
#include "common/guid_text_win32.h"
#include "selftest/common/hex_text.h"
#include "simcard/com/sim_filter_classes.h"

namespace {

std::string GuidUtf8(const GUID& guid) {
  return ToNarrow(GuidText(guid), NarrowEncoding::Utf8);
}

std::string Describe(const DecoderRegisters& registers) {
  return "07=" + selftest::HexBytes(std::span(&registers.mode, 1), " ") +
         ", 3C..41=" + selftest::HexBytes(registers.gpio, " ");
}

FilePath InFolder(const FilePath& folder, const wchar_t* name) {
  return folder + L"\\" + name;
}

// The steps of the check, each timed and its requests counted.
class Check {
 public:
  Check(CountingConnector& connector, const TransferContext& context, Report& report,
        std::function<void()> stopPoint)
      : connector_(connector),
        context_(context),
        report_(report),
        stopPoint_(std::move(stopPoint)) {}

  template <typename Result>
  std::optional<Result> Step(const std::string& what,
                             const std::function<std::optional<Result>()>& read,
                             const std::function<std::string(const Result&)>& describe) {
    stopPoint_();
    connector_.TakeCount();
    const auto start = std::chrono::steady_clock::now();
    std::optional<Result> result = read();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    const std::string figures = std::to_string(connector_.TakeCount()) + " requests, " +
                                std::to_string(elapsed.count()) + " ms";
    if (result) {
      report_.Say(what + ": " + describe(*result) + " (" + figures + ")");
    } else {
      report_.Failure(what + ": failed (" + figures + ")");
    }
    return result;
  }

  std::optional<DecoderRegisters> Decoder(const std::string& when) {
    return Step<DecoderRegisters>(
        "Channel decoder registers " + when, [&] { return ReadDecoderRegisters(context_); },
        Describe);
  }

  // Not after a failure: a card that failed a request is not asked again.
  std::optional<Bytes> Eeprom(const std::string& what,
                              const std::function<std::optional<Bytes>()>& read) {
    if (report_.Failed()) return std::nullopt;
    return Step<Bytes>(what, read,
                       [](const Bytes& bytes) { return std::to_string(bytes.size()) + " bytes"; });
  }

 private:
  CountingConnector& connector_;
  const TransferContext& context_;
  Report& report_;
  std::function<void()> stopPoint_;
};

template <typename Value>
void Compare(const std::string& what, const std::optional<Value>& first,
             const std::optional<Value>& second, Report& report) {
  if (!first || !second) return;
  if (*first == *second) {
    report.Say(what + ": yes");
  } else {
    report.Failure(what + ": NO");
  }
}

void Save(const CheckServices& services, const FilePath& target,
          std::span<const std::uint8_t> content, Report& report) {
  const std::unique_ptr<PendingSave> save =
      PendingSave::Begin(services.files, services.waiter, services.undo, target);
  if (save && save->file().Write(content) && save->Commit()) return;
  report.Failure("Error: " + ToNarrow(target, NarrowEncoding::Utf8) + " can't be written");
}

}  // namespace

bool IdentifyCard(Report& report) {
  ReportView view(report);
  const Microsoft::WRL::ComPtr<IBaseFilter> filter =
      FindFilterByName(KSCATEGORY_CAPTURE, kCaptureFilterName, view);
  CLSID clsid{};
  if (!filter || FAILED(filter->GetClassID(&clsid))) {
    report.Failure(std::string("No card: no capture device named \"") + kCaptureFilterName +
                   "\" could be opened.");
    return false;
  }
  if (clsid == simcard::com::kClsidSimCard) {
    report.Say("Card: the VIRTUAL card (Ostrel's simulated card, class " + GuidUtf8(clsid) +
               "), not a real card.");
  } else {
    report.Say(std::string("Card: \"") + kCaptureFilterName + "\", class " + GuidUtf8(clsid) + ".");
  }
  return true;
}

std::string ConsentRequest(const FilePath& folder) {
  const auto in = [&](const wchar_t* name) {
    return ToNarrow(InFolder(folder, name), NarrowEncoding::Utf8);
  };
  return "This check only reads the card's EEPROMs; it never writes to an EEPROM. It will:\n"
         "- read the channel decoder's registers before and after the reads;\n"
         "- read the board EEPROM (256 bytes) twice and the DSP EEPROM (32768 bytes) twice;\n"
         "- write to the card only the channel decoder switch, and its restore, that every DSP\n"
         "  save makes (once for each DSP read);\n"
         "- save what it read in " +
         in(kBoardName) + " and " + in(kDspName) + ",\n  and its report in " +
         in(selftest::kCardCheckReportName) +
         ".\nType yes and press Enter to go on; anything else ends the check without touching "
         "the card: ";
}

void CheckCard(const CheckServices& services, Waiter& pacing, const FilePath& folder,
               Report& report) {
  ReportView view(report);
  FilterConnector filters;
  CountingConnector counting(filters);
  UndoableConnector connector(counting, services.undo);
  const TransferContext context{view, connector, pacing, services.undo};
  Check check(counting, context, report, services.stopPoint);
  const FilePath dspTarget = InFolder(folder, kDspName);

  const auto decoderBefore = check.Decoder("before");
  const auto board1 = check.Eeprom("Board EEPROM read 1", [&] { return ReadBoard(context); });
  const auto board2 = check.Eeprom("Board EEPROM read 2", [&] { return ReadBoard(context); });
  const auto dsp1 = check.Eeprom("DSP EEPROM read 1",
                                 [&] { return ReadDsp(context, services.files, dspTarget); });
  const auto dsp2 = check.Eeprom("DSP EEPROM read 2",
                                 [&] { return ReadDsp(context, services.files, dspTarget); });
  // Whatever failed in between, the decoder is looked at again once it was
  // read before: whether the switch was undone matters most then.
  const auto decoderAfter = decoderBefore ? check.Decoder("after") : std::nullopt;

  Compare("Board EEPROM reads identical", board1, board2, report);
  Compare("DSP EEPROM reads identical", dsp1, dsp2, report);
  Compare("Channel decoder registers put back", decoderBefore, decoderAfter, report);
  if (board1) Save(services, InFolder(folder, kBoardName), *board1, report);
  if (dsp1) Save(services, dspTarget, *dsp1, report);
  report.Say(report.Failed() ? "Result: FAILED" : "Result: every check passed");
  SaveReport(services, report);
}

void SaveReport(const CheckServices& services, Report& report) {
  if (!report.Save(services.files, services.waiter, services.undo)) {
    report.Failure("Error: " + ToNarrow(report.File(), NarrowEncoding::Utf8) + " can't be written");
  }
}
