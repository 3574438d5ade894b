#include "commands/command_view.h"

#include "commands/card_use_texts.h"

namespace {

std::string LockRefusedMessage(const LockAnswer& lock) {
  switch (lock.state) {
    case LockAnswer::State::HeldElsewhere:
      return kCardInUseMessage;
    case LockAnswer::State::Abandoned:
      return kCardCutOffMessage;
    case LockAnswer::State::Taken:  // never a refusal
    case LockAnswer::State::Unknown:
      break;
  }
  return CardLockUnknownMessage(lock.error);
}

}  // namespace

CardClaim CommandView::ClaimCard(CardUse use) {
  CardClaim claim = card_.Claim(use);
  switch (claim.WhyRefused()) {
    case CardClaim::Refusal::None:
      claimed_ = true;
      break;
    case CardClaim::Refusal::Lock:
      ShowError(LockRefusedMessage(claim.Lock()));
      break;
    case CardClaim::Refusal::AnotherLives:
      ShowError(kCardClaimedMessage);
      break;
    case CardClaim::Refusal::SessionEnded:
      break;  // nothing is shown any more
  }
  return claim;
}

void CommandView::ShowError(const std::string& text) {
  if (CutShort()) return;
  const CardAccess::OperatorWait wait(card_);
  dialog_.ShowError(text);
}

void CommandView::ShowNotice(const std::string& text) {
  if (CutShort()) return;
  const CardAccess::OperatorWait wait(card_);
  dialog_.ShowNotice(text);
}

void CommandView::ShowPlainMessage(const std::string& text, const std::string& caption) {
  if (CutShort()) return;
  const CardAccess::OperatorWait wait(card_);
  dialog_.ShowPlainMessage(text, caption);
}
