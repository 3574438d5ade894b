#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/card_access.h"

// The machine around a command in a unit test: the card lock and the power
// guard, each step recorded with what state() says at that moment (the
// card's requests so far, say), so that a test sees what they covered.
struct FakeMachine {
  explicit FakeMachine(std::function<std::string()> whatNow) : state(std::move(whatNow)) {}

  struct Lock final : CardLock {
    explicit Lock(FakeMachine& m) : machine(m) {}
    bool TryTake() override {
      machine.Note(machine.takenElsewhere ? "lock refused" : "lock");
      return !machine.takenElsewhere;
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

  void Note(const std::string& step) { events.push_back(step + " " + (state ? state() : "")); }

  std::function<std::string()> state;
  bool takenElsewhere = false;  // another Ostrel holds the card
  std::vector<std::string> events;
  Lock lock{*this};
  Power power{*this};
  CardAccess access{lock, power};
};
