#pragma once

#include <memory>

class TransferView;

// What a command does with the card; the system is told which when it asks
// to shut down meanwhile.
enum class CardUse { Reading, Writing };

// The one lock on the machine that a command holds while it uses the card:
// two programs must never mix their requests on the card's single bus.
class CardLock {
 public:
  virtual ~CardLock() = default;
  // True when this program now holds the lock; false when another one does.
  virtual bool TryTake() = 0;
  virtual void Release() = 0;
};

// Keeps the system from sleeping, and refuses a shutdown, restart or
// log-off with a reason it can show, from Hold to Release.
class PowerGuard {
 public:
  virtual ~PowerGuard() = default;
  virtual void Hold(CardUse use) = 0;
  virtual void Release() = 0;
};

class CardAccess;

// A command's hold on the card, taken before its first lookup and let go
// after its last transfer has closed its connection: destroying it releases
// the guard and the lock on every path.
class CardClaim {
 public:
  CardClaim(CardAccess& access, CardUse use);
  ~CardClaim();
  CardClaim(const CardClaim&) = delete;
  CardClaim& operator=(const CardClaim&) = delete;

 private:
  CardAccess& access_;
};

inline constexpr const char* kCardInUseMessage =
    "Another Ostrel is using the card. Try again when it has finished.";

// The lock and the guard together, as the commands use them.
class CardAccess {
 public:
  CardAccess(CardLock& lock, PowerGuard& power) : lock_(lock), power_(power) {}

  // The card for this program alone until the claim goes. Nothing, after
  // telling the operator, when another program holds it.
  std::unique_ptr<CardClaim> Claim(CardUse use, TransferView& view);
  // A claim lives: the session must not end now.
  bool Claimed() const { return claimed_; }

 private:
  friend class CardClaim;

  CardLock& lock_;
  PowerGuard& power_;
  bool claimed_ = false;
};
