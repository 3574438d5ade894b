#include "commands/command_view.h"

#include <utility>

#include "commands/card_use_texts.h"

CardClaim CommandView::ClaimCard(CardUse use) {
  CardAccess::Attempt attempt = card_.Claim(use);
  switch (attempt.lock.state) {
    case LockAnswer::State::Taken:
      break;
    case LockAnswer::State::HeldElsewhere:
      ShowError(kCardInUseMessage);
      break;
    case LockAnswer::State::Abandoned:
      ShowError(kCardCutOffMessage);
      break;
    case LockAnswer::State::Unknown:
      ShowError(CardLockUnknownMessage(attempt.lock.error));
      break;
  }
  return std::move(attempt.claim);
}

void CommandView::ShowError(const std::string& text) {
  if (card_.Ended()) return;
  const CardAccess::OperatorWait wait(card_);
  dialog_.ShowError(text);
}

void CommandView::ShowNotice(const std::string& text) {
  if (card_.Ended()) return;
  const CardAccess::OperatorWait wait(card_);
  dialog_.ShowNotice(text);
}

void CommandView::ShowPlainMessage(const std::string& text, const std::string& caption) {
  if (card_.Ended()) return;
  const CardAccess::OperatorWait wait(card_);
  dialog_.ShowPlainMessage(text, caption);
}
