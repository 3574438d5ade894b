#pragma once

#include <string>
#include <vector>

#include "common/transfer_view.h"

// The check's report: each line goes to the console as soon as it is made,
// so that the operator follows the check, and is kept for card-check.txt.
class CheckReport {
 public:
  void Line(const std::string& text);
  // Lines that report a failure; the check fails with the first.
  void Failure(const std::string& text);

  bool Failed() const { return failed_; }
  // The whole report with Windows line ends, for Notepad.
  std::string Text() const;

 private:
  std::vector<std::string> lines_;
  bool failed_ = false;
};

// What the transfers show the operator becomes lines of the report: their
// messages are failures; status and progress are left out.
class ReportView final : public TransferView {
 public:
  explicit ReportView(CheckReport& report) : report_(report) {}

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
  CheckReport& report_;
};
