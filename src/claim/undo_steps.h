#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// What a command has changed and must put back at once if it is cut short
// (the session ends, the PC goes to sleep, the console program is stopped):
// Windows may end the process or stop the PC as soon as it has been told, so
// nothing can wait for the command's own way back. Whoever makes such a
// change (switches the channel decoder, opens a connection, makes files)
// registers an UndoStep for as long as the change stands.
class UndoSteps {
 public:
  using Undo = std::function<bool()>;  // true when the change was undone

  struct Undone {
    std::string what;
    bool done;
  };

  UndoSteps() = default;
  UndoSteps(const UndoSteps&) = delete;
  UndoSteps& operator=(const UndoSteps&) = delete;

  // Registers undo under a number for Run and Withdraw.
  std::uint64_t Add(std::string what, Undo undo);
  // Runs the step registered under number, if it has neither run nor been
  // withdrawn.
  void Run(std::uint64_t number);
  // Takes the step out without running it; false when it has run already.
  bool Withdraw(std::uint64_t number);
  // Runs the steps still registered, the latest first, each once; one that
  // throws counts as not done, is reported to the debugger, and the others
  // still run.
  std::vector<Undone> RunAll();

 private:
  struct Step {
    std::uint64_t number;
    std::string what;
    Undo undo;
  };

  // The step registered under number; end() once it has run or was
  // withdrawn.
  std::vector<Step>::iterator Find(std::uint64_t number);
  static bool RunCaught(const Step& step) noexcept;

  std::vector<Step> steps_;
  std::uint64_t next_ = 0;
};

// One registered step: it runs when the steps run, or when it goes without
// having been withdrawn (the owner's own way back, or an exception unwinding
// through it), and never twice.
class UndoStep {
 public:
  UndoStep(UndoSteps& steps, std::string what, UndoSteps::Undo undo)
      : steps_(steps), number_(steps.Add(std::move(what), std::move(undo))) {}
  ~UndoStep() { steps_.Run(number_); }
  UndoStep(const UndoStep&) = delete;
  UndoStep& operator=(const UndoStep&) = delete;

  // The owner puts the change back itself from here on: false when the step
  // has run already, so that there is nothing left to put back.
  bool Withdraw() { return steps_.Withdraw(number_); }

 private:
  UndoSteps& steps_;
  std::uint64_t number_;
};
