#include "claim/card_access.h"

#include <cassert>
#include <utility>

CardClaim::CardClaim(CardClaim&& other) noexcept
    : access_(std::exchange(other.access_, nullptr)),
      refusal_(other.refusal_),
      lock_(other.lock_) {}

CardClaim& CardClaim::operator=(CardClaim&& other) noexcept {
  if (this != &other) {
    Release();
    access_ = std::exchange(other.access_, nullptr);
    refusal_ = other.refusal_;
    lock_ = other.lock_;
  }
  return *this;
}

void CardClaim::Release() {
  if (CardAccess* const access = std::exchange(access_, nullptr)) access->LetGo();
}

CardClaim CardAccess::Claim(CardUse use) {
  // Commands run one at a time and none after the end: asking otherwise is
  // a mistake of the program, never of the operator.
  assert(!ended_ && claim_ == State::Free);
  if (ended_) return {nullptr, CardClaim::Refusal::SessionEnded, {}};
  if (claim_ != State::Free) return {nullptr, CardClaim::Refusal::AnotherLives, {}};
  const LockAnswer lock = lock_.TryTake();
  if (lock.state != LockAnswer::State::Taken) return {nullptr, CardClaim::Refusal::Lock, lock};
  use_ = use;
  cut_ = false;
  claim_ = State::Guarded;
  Guard();
  return {this, CardClaim::Refusal::None, lock};
}

void CardAccess::Guard() {
  power_.Hold(use_);
  timer_.Raise();
}

void CardAccess::Unguard() {
  timer_.Lower();
  power_.Release();
}

void CardAccess::LetGo() {
  if (claim_ == State::Guarded) Unguard();
  if (claim_ == State::Guarded || claim_ == State::Paused) lock_.Release();
  claim_ = State::Free;
}

std::vector<UndoSteps::Undone> CardAccess::CutClaim() {
  // Marked first: what the steps would show now is shown no more.
  cut_ = true;
  std::vector<UndoSteps::Undone> undone = undo_.RunAll();
  const bool live = claim_ != State::Free;
  LetGo();
  // Its owner still holds it; letting it go then changes nothing.
  if (live) claim_ = State::Cut;
  return undone;
}

std::vector<UndoSteps::Undone> CardAccess::EndNow() {
  if (ended_) return {};
  ended_ = true;
  return CutClaim();
}

bool CardAccess::Suspend() {
  if (claim_ != State::Guarded && claim_ != State::Paused) return false;
  CutClaim();
  return true;
}

CardAccess::OperatorWait::OperatorWait(CardAccess& access)
    : access_(access), paused_(access.claim_ == State::Guarded) {
  if (!paused_) return;
  access_.Unguard();
  access_.claim_ = State::Paused;
}

CardAccess::OperatorWait::~OperatorWait() {
  if (!paused_ || access_.claim_ != State::Paused) return;
  access_.claim_ = State::Guarded;
  access_.Guard();
}
