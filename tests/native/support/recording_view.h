#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/transfer_view.h"

// A TransferView that remembers every call, in order, and the state a real
// dialog would be left in.
class RecordingView final : public TransferView {
 public:
  enum class Kind { Status, Range, Pos, Enable, Error, Notice, Plain };
  struct Event {
    Kind kind;
    std::string text;
    std::string caption;
    std::int64_t value = 0;
  };

  void SetStatusText(const std::string& text) override;
  void SetProgressRange(std::int32_t n) override;
  void SetProgressPos(std::int32_t p) override;
  void EnableCommands(bool on) override;
  void ShowError(const std::string& text) override;
  void ShowNotice(const std::string& text) override;
  void ShowPlainMessage(const std::string& text, const std::string& caption) override;

  const std::vector<Event>& Events() const { return events_; }
  // The texts of the message boxes in order, each as "error: ...",
  // "notice: ..." or "plain[caption]: ...".
  std::vector<std::string> Messages() const;
  // The status line and message boxes in order, as above plus "status: ...".
  std::vector<std::string> StatusAndMessages() const;
  // Only the texts of the error boxes, without the prefix.
  std::vector<std::string> Errors() const;
  std::vector<std::int64_t> Positions() const;

  std::function<void()> onBox;  // called as each message box opens
  // Called as the status, range or position changes: where the dialog may
  // paint, and so hears what the system sent it meanwhile.
  std::function<void()> onPaint;
  std::string status = "Read/write status";
  std::int64_t range = 100;
  std::int64_t position = 0;
  bool commandsEnabled = true;

 private:
  std::vector<Event> events_;
};
