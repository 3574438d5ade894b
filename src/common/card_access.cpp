#include "common/card_access.h"

CardAccess::Attempt CardAccess::Claim(CardUse use) {
  Attempt attempt;
  attempt.lock = lock_.TryTake();
  if (attempt.lock.state != LockAnswer::State::Taken) return attempt;
  use_ = use;
  claim_.emplace();
  claim_->lock = Held([this] { lock_.Release(); });
  Guard(*claim_);
  const std::uint64_t claim = ++claims_;
  attempt.claim = CardClaim([this, claim] {
    if (claim == claims_) claim_.reset();
  });
  return attempt;
}

void CardAccess::Guard(Pieces& pieces) {
  power_.Hold(use_);
  pieces.power = Held([this] { power_.Release(); });
  timer_.Raise();
  pieces.timer = Held([this] { timer_.Lower(); });
}

std::vector<UndoSteps::Undone> CardAccess::EndNow() {
  if (ended_) return {};
  ended_ = true;
  std::vector<UndoSteps::Undone> undone = undo_.RunAll();
  claim_.reset();
  ++claims_;
  return undone;
}

CardAccess::OperatorWait::OperatorWait(CardAccess& access)
    : access_(access), guarded_(access.Guarding()) {
  if (!guarded_) return;
  access_.claim_->timer.Release();
  access_.claim_->power.Release();
}

CardAccess::OperatorWait::~OperatorWait() {
  if (guarded_ && access_.claim_) access_.Guard(*access_.claim_);
}
