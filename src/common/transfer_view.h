#pragma once

#include <cstdint>
#include <string>

// How every operation reports to the operator. The main dialog implements it;
// tests record the calls.
class TransferView {
 public:
  virtual ~TransferView() = default;

  virtual void SetStatusText(const std::string& text) = 0;
  // Range 0..n.
  virtual void SetProgressRange(std::int32_t n) = 0;
  virtual void SetProgressPos(std::int32_t p) = 0;
  // "Write to EEPROM...", "Save to file..." and "&Exit" together.
  virtual void EnableCommands(bool on) = 0;
  // Modal, stop icon, OK, caption "Ostrel".
  virtual void ShowError(const std::string& text) = 0;
  // Modal, exclamation icon, OK, caption "Ostrel".
  virtual void ShowNotice(const std::string& text) = 0;
  // Modal, no icon, OK, the given caption.
  virtual void ShowPlainMessage(const std::string& text, const std::string& caption) = 0;
};
