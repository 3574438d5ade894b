#pragma once

#include <string>

#include "claim/card_access.h"
#include "common/transfer_view.h"

// What a command shows the operator, handed on to the dialog. A box may wait
// for the operator for hours: while it is open the card's claim lets the PC
// sleep and shut down (the lock stays held). Once the command has been cut
// short (the session ended, the PC went to sleep), no box is shown any more:
// nothing may keep the program from ending, and the cut is told once, after
// the wake. Claiming the card through it tells the operator why the card
// can't be had.
class CommandView final : public TransferView {
 public:
  CommandView(TransferView& dialog, CardAccess& card) : dialog_(dialog), card_(card) {}

  // The card for this command until the claim goes; nothing, once the
  // operator has been told why, when it was refused.
  CardClaim ClaimCard(CardUse use);
  // The command was cut short: it sends nothing more and ends as a failure.
  bool CutShort() const { return card_.Ended() || (claimed_ && card_.Cut()); }

  void SetStatusText(const std::string& text) override { dialog_.SetStatusText(text); }
  void SetProgressRange(std::int32_t n) override { dialog_.SetProgressRange(n); }
  void SetProgressPos(std::int32_t p) override { dialog_.SetProgressPos(p); }
  void EnableCommands(bool on) override { dialog_.EnableCommands(on); }
  void ShowError(const std::string& text) override;
  void ShowNotice(const std::string& text) override;
  void ShowPlainMessage(const std::string& text, const std::string& caption) override;

 private:
  TransferView& dialog_;
  CardAccess& card_;
  bool claimed_ = false;  // this command took the claim
};
