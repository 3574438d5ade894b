#pragma once

#include <cstdint>
#include <vector>

#include "claim/undo_steps.h"

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
  // Only after a take that answered Taken, once.
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

class CardAccess;

// A command's hold on the card, from CardAccess::Claim until it goes or is
// released: the lock, the system kept awake and its timer raised, let go in
// reverse order on every path. One owner at a time (move-only). A refused
// claim holds nothing and says why.
class CardClaim {
 public:
  enum class Refusal {
    None,          // live, or never asked for
    Lock,          // the lock was not ours: Lock() says why
    AnotherLives,  // this program's claim still lives: a caller's mistake
    SessionEnded,  // nothing is claimed once the program is being ended
  };

  CardClaim() = default;
  CardClaim(CardClaim&& other) noexcept;
  CardClaim& operator=(CardClaim&& other) noexcept;
  CardClaim(const CardClaim&) = delete;
  CardClaim& operator=(const CardClaim&) = delete;
  ~CardClaim() { Release(); }

  explicit operator bool() const { return access_ != nullptr; }
  // Lets everything go now; nothing happens when it goes later.
  void Release();

  Refusal WhyRefused() const { return refusal_; }
  const LockAnswer& Lock() const { return lock_; }

 private:
  friend class CardAccess;
  CardClaim(CardAccess* access, Refusal refusal, LockAnswer lock)
      : access_(access), refusal_(refusal), lock_(lock) {}

  CardAccess* access_ = nullptr;  // while live
  Refusal refusal_ = Refusal::None;
  LockAnswer lock_;
};

// The card as the commands of one program claim it, one claim at a time,
// and the undo steps of whatever they have changed. It outlives its claims.
class CardAccess {
 public:
  CardAccess(CardLock& lock, PowerGuard& power, SystemTimer& timer)
      : lock_(lock), power_(power), timer_(timer) {}
  CardAccess(const CardAccess&) = delete;
  CardAccess& operator=(const CardAccess&) = delete;

  // The card for this program alone, the system kept awake and its timer
  // raised, until the claim goes; the lock is taken first. Refused while
  // this program's claim lives and once the program is being ended: the
  // caller's mistakes, asserted in debug builds.
  CardClaim Claim(CardUse use);

  // Where the changes to the card and the files register what undoes them.
  UndoSteps& Undo() { return undo_; }

  // While a box waits for the operator, for as long as they take, the PC may
  // sleep and the session end: the guard and the timer go, and come back
  // when the box has gone. The lock stays: the connection may still be open
  // and the channel decoder switched. A wait resumes only the claim it
  // paused: one let go or cut meanwhile stays so, and one taken since then
  // is guarded again by its own waits before this one ends.
  class OperatorWait {
   public:
    explicit OperatorWait(CardAccess& access);
    ~OperatorWait();
    OperatorWait(const OperatorWait&) = delete;
    OperatorWait& operator=(const OperatorWait&) = delete;

   private:
    CardAccess& access_;
    bool paused_;
  };

  // A claim lives and no box waits for the operator: the session must not
  // end now.
  bool Guarding() const { return claim_ == State::Guarded; }

  // The program is being ended in the middle of whatever it does (the
  // session ends, its console is closed): runs the undo steps, the latest
  // first, and lets the claim go, all before it returns; no claim is given
  // afterwards. Only the first call does anything. What each step did.
  std::vector<UndoSteps::Undone> EndNow();
  bool Ended() const { return ended_; }

  // The PC goes to sleep: a live claim is cut as at the end (the undo steps
  // run, the claim is let go) before this returns, and later claims are
  // given as usual. False, changing nothing, when no claim lives.
  bool Suspend();

  // The claim taken last was cut (the end, sleep): its command sends
  // nothing more and ends as a failure.
  bool Cut() const { return cut_; }

 private:
  friend class CardClaim;
  enum class State { Free, Guarded, Paused, Cut };

  void Guard();
  void Unguard();
  void LetGo();
  std::vector<UndoSteps::Undone> CutClaim();

  CardLock& lock_;
  PowerGuard& power_;
  SystemTimer& timer_;
  UndoSteps undo_;
  State claim_ = State::Free;
  CardUse use_ = CardUse::Reading;
  bool cut_ = false;
  bool ended_ = false;
};
