#pragma once

#include <cstdint>
#include <memory>

#include "common/waiter.h"

// What a command does with the card; the system is told which when it asks
// to shut down meanwhile.
enum class CardUse { Reading, Writing };

// What the card lock said when a command asked for it.
struct LockAnswer {
  enum class State {
    Taken,          // this program holds it now
    HeldElsewhere,  // another program holds it
    Unknown,        // it could not be opened or created at all
  };
  State state = State::Unknown;
  std::uint32_t error = 0;  // the system's error number, when Unknown
};

// The one lock on the machine that a command holds while it uses the card:
// two programs must never mix their requests on the card's single bus.
class CardLock {
 public:
  virtual ~CardLock() = default;
  virtual LockAnswer TryTake() = 0;
  // Only after a take that answered Taken.
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
// after its last transfer has closed its connection: destroying it lets the
// guard and the system timer go and releases the lock, on every path.
class CardClaim {
 public:
  // Only CardAccess makes claims, once it holds the lock.
  class Key {
    friend class CardAccess;
    Key() = default;
  };

  CardClaim(Key, CardAccess& access);
  ~CardClaim();
  CardClaim(const CardClaim&) = delete;
  CardClaim& operator=(const CardClaim&) = delete;

 private:
  CardAccess& access_;
};

// The lock, the guard and the system timer together, as the commands use
// them.
class CardAccess {
 public:
  CardAccess(CardLock& lock, PowerGuard& power, SystemTimer& timer)
      : lock_(lock), power_(power), timer_(timer) {}

  struct Attempt {
    std::unique_ptr<CardClaim> claim;  // nothing unless the lock was taken
    LockAnswer lock;
  };
  // The card for this program alone, the system kept awake and its timer
  // raised, until the claim goes. The lock is taken first.
  Attempt Claim(CardUse use);

  // While a box waits for the operator, for as long as they take, the PC may
  // sleep and the session end: the guard and the timer go, and come back
  // when the box has gone. The lock stays: the connection may still be open
  // and the channel decoder switched.
  class OperatorWait {
   public:
    explicit OperatorWait(CardAccess& access);
    ~OperatorWait();
    OperatorWait(const OperatorWait&) = delete;
    OperatorWait& operator=(const OperatorWait&) = delete;

   private:
    CardAccess& access_;
    bool guarded_;
  };

  // A claim lives and no box waits for the operator: the session must not
  // end now.
  bool Guarding() const { return guarding_; }

 private:
  friend class CardClaim;

  void Guard();
  void LetGo();

  CardLock& lock_;
  PowerGuard& power_;
  SystemTimer& timer_;
  CardUse use_ = CardUse::Reading;
  bool claimed_ = false;
  bool guarding_ = false;
};
