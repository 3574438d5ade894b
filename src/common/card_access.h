#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/held.h"
#include "common/undo_steps.h"

// What a command does with the card; the system is told which when it asks
// to shut down meanwhile.
enum class CardUse { Reading, Writing };

// What the card lock said when a command asked for it.
struct LockAnswer {
  enum class State {
    Taken,          // this program holds it now
    HeldElsewhere,  // another program holds it
    Abandoned,      // the program that held it was ended in the middle of a command
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
  // An abandoned lock is given back before the answer: the next take finds
  // it free.
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

// The system's timer. Some systems must run it faster for the precise waits
// to be precise (Windows before high-resolution waitable timers); the whole
// PC then runs at that rate, at a cost in power, so it is raised only while
// a command uses the card.
class SystemTimer {
 public:
  virtual ~SystemTimer() = default;
  virtual void Raise() = 0;
  virtual void Lower() = 0;
};

// A command's hold on the card: the lock, the guard and the raised timer
// until it goes (or is released), let go in reverse order on every path.
using CardClaim = Held;

// The card as the commands of one program claim it, and the undo steps of
// whatever they have changed.
class CardAccess {
 public:
  CardAccess(CardLock& lock, PowerGuard& power, SystemTimer& timer)
      : lock_(lock), power_(power), timer_(timer) {}
  CardAccess(const CardAccess&) = delete;
  CardAccess& operator=(const CardAccess&) = delete;

  struct Attempt {
    CardClaim claim;  // nothing unless the lock was taken
    LockAnswer lock;
  };
  // The card for this program alone, the system kept awake and its timer
  // raised, until the claim goes. The lock is taken first.
  Attempt Claim(CardUse use);

  // Where the changes to the card and the files register what undoes them.
  UndoSteps& Undo() { return undo_; }

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
  bool Guarding() const { return claim_ && claim_->power; }

  // The program is being ended in the middle of whatever it does (the
  // session ends, its console is closed): runs the undo steps, the latest
  // first, and lets the claim go, all before it returns. Only the first call
  // does anything; the command goes on afterwards as if the card had failed.
  std::vector<UndoSteps::Undone> EndNow();
  bool Ended() const { return ended_; }

 private:
  // The pieces of a live claim in the order they are taken; they go in
  // reverse.
  struct Pieces {
    Held lock;
    Held power;  // nothing while a box waits
    Held timer;  // likewise
  };

  void Guard(Pieces& pieces);

  CardLock& lock_;
  PowerGuard& power_;
  SystemTimer& timer_;
  UndoSteps undo_;
  std::optional<Pieces> claim_;
  std::uint64_t claims_ = 0;  // tells a claim's own release from a stale one
  CardUse use_ = CardUse::Reading;
  bool ended_ = false;
};
