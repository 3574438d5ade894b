#pragma once

// How the card check is stopped from outside: Ctrl+C, Ctrl+Break or a closed
// console (the runner forwards each stop it hears as a Ctrl+Break to the
// check's own process group), or the session's end (log-off, shutdown).
// Wherever it is, the check puts back what it changed (the channel decoder's
// switch, its scratch files), says so in its report's last line and ends with
// kCardCheckStopped.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "card_check.h"
#include "claim/card_access.h"
#include "common/waiter.h"
#include "selftest/common/console_stop.h"
#include "selftest/common/session_end_window.h"

// Thrown where a stopped check gives up, after everything was put back.
struct CheckInterrupted {};

// The report's last line once the check was stopped, from what was undone.
std::string InterruptedLine(const std::vector<UndoSteps::Undone>& undone);

// Before the check begins (the card looked up, the operator asked, the card
// claimed) a stop ends the program at once: nothing has been changed yet,
// and no stop interrupts a wait for the operator's answer.
class StopBeforeTheCheck {
 public:
  StopBeforeTheCheck();
  ~StopBeforeTheCheck();
  StopBeforeTheCheck(const StopBeforeTheCheck&) = delete;
  StopBeforeTheCheck& operator=(const StopBeforeTheCheck&) = delete;

 private:
  static BOOL WINAPI Handler(DWORD event);
};

class CheckStop {
 public:
  // The access the check claims the card through; saveReport writes the
  // report as it then stands.
  CheckStop(CardAccess& access, Report& report, std::function<void()> saveReport);
  ~CheckStop();
  CheckStop(const CheckStop&) = delete;
  CheckStop& operator=(const CheckStop&) = delete;

  // A place between two requests where the check may stop: a stop that the
  // console asked for is carried out here, and a stopped check throws
  // CheckInterrupted.
  void Point();

 private:
  // Puts back at once what the check changed, and ends the report; once.
  void Interrupt();

  CardAccess& access_;
  Report& report_;
  std::function<void()> saveReport_;
  selftest::ConsoleStop console_;
  selftest::SessionEndWindow session_;
  bool interrupted_ = false;
};

// The check's wait, with a place to stop before and after it: a session end
// is heard during the wait itself.
class StoppableWaiter final : public Waiter {
 public:
  StoppableWaiter(Waiter& inner, CheckStop& stop) : inner_(inner), stop_(stop) {}

  void WaitMilliseconds(std::uint32_t ms) override {
    stop_.Point();
    inner_.WaitMilliseconds(ms);
    stop_.Point();
  }

 private:
  Waiter& inner_;
  CheckStop& stop_;
};
