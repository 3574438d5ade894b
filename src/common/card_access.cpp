#include "common/card_access.h"

CardClaim::CardClaim(Key, CardAccess& access) : access_(access) {
  access_.claimed_ = true;
  access_.Guard();
}

CardClaim::~CardClaim() {
  if (access_.guarding_) access_.LetGo();
  access_.claimed_ = false;
  access_.lock_.Release();
}

CardAccess::Attempt CardAccess::Claim(CardUse use) {
  Attempt attempt;
  attempt.lock = lock_.TryTake();
  if (attempt.lock.state != LockAnswer::State::Taken) return attempt;
  use_ = use;
  attempt.claim = std::make_unique<CardClaim>(CardClaim::Key(), *this);
  return attempt;
}

void CardAccess::Guard() {
  power_.Hold(use_);
  timer_.Raise();
  guarding_ = true;
}

void CardAccess::LetGo() {
  guarding_ = false;
  timer_.Lower();
  power_.Release();
}

CardAccess::OperatorWait::OperatorWait(CardAccess& access)
    : access_(access), guarded_(access.guarding_) {
  if (guarded_) access_.LetGo();
}

CardAccess::OperatorWait::~OperatorWait() {
  if (guarded_ && access_.claimed_) access_.Guard();
}
