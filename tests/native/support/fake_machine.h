#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "claim/card_access.h"

// The machine around a command in a unit test: the card lock, the power
// guard and the system timer, each step recorded with what state() says at
// that moment (the card's requests so far, say), so that a test sees what
// they covered.
struct FakeMachine {
  explicit FakeMachine(std::function<std::string()> whatNow) : state(std::move(whatNow)) {}

  struct Lock final : CardLock {
    explicit Lock(FakeMachine& m) : machine(m) {}
    LockAnswer TryTake() override {
      static const char* const kNotes[] = {"lock", "lock refused", "lock abandoned",
                                           "lock unknown"};
      machine.Note(kNotes[static_cast<int>(machine.lockAnswer.state)]);
      return machine.lockAnswer;
    }
    void Release() override { machine.Note("unlock"); }
    FakeMachine& machine;
  };
  struct Power final : PowerGuard {
    explicit Power(FakeMachine& m) : machine(m) {}
    void Hold(CardUse use) override {
      machine.Note(use == CardUse::Reading ? "awake, reading" : "awake, writing");
    }
    void Release() override { machine.Note("may sleep"); }
    FakeMachine& machine;
  };
  struct Timer final : SystemTimer {
    explicit Timer(FakeMachine& m) : machine(m) {}
    void Raise() override { machine.Note("timer raised"); }
    void Lower() override { machine.Note("timer lowered"); }
    FakeMachine& machine;
  };

  void Note(const std::string& step) { events.push_back(step + " " + (state ? state() : "")); }
  // The steps without the state they were taken in.
  std::vector<std::string> Steps() const {
    std::vector<std::string> steps;
    for (const std::string& event : events) steps.push_back(event.substr(0, event.rfind(' ')));
    return steps;
  }

  std::function<std::string()> state;
  LockAnswer lockAnswer{LockAnswer::State::Taken, 0};  // what the lock says when taken
  std::vector<std::string> events;
  Lock lock{*this};
  Power power{*this};
  Timer timer{*this};
  CardAccess access{lock, power, timer};
};
