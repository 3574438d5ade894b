#include "commands/command_runner.h"

#include <exception>
#include <string>

#include "commands/card_use_texts.h"
#include "common/debug_report.h"

namespace {

// Marks a command as running for as long as it lasts, on every path.
class RunningScope {
 public:
  explicit RunningScope(bool& running) : running_(running) { running = true; }
  ~RunningScope() { running_ = false; }
  RunningScope(const RunningScope&) = delete;
  RunningScope& operator=(const RunningScope&) = delete;

 private:
  bool& running_;
};

}  // namespace

void CommandRunner::Run(Command command) {
  if (running_ || SessionEnded()) return;
  {
    const RunningScope running(running_);
    try {
      command(host_, services_);
    } catch (const std::exception& error) {
      ShowUnexpected(error.what());
    } catch (...) {
      ShowUnexpected("unknown");
    }
  }
  TellOfSleep();
}

void CommandRunner::ShowUnexpected(const std::string& what) {
  ReportToDebugger("Ostrel: a command failed unexpectedly: " + what);
  host_.View().EnableCommands(true);
  if (!SessionEnded()) host_.View().ShowError("Unexpected error: " + what);
}

void CommandRunner::Suspend() {
  if (services_.card.Suspend()) sleep_ = Sleep::Slept;
}

void CommandRunner::Woken() {
  if (sleep_ == Sleep::Slept) sleep_ = Sleep::Woken;
}

void CommandRunner::TellOfSleep() {
  if (running_ || sleep_ != Sleep::Woken) return;
  sleep_ = Sleep::None;
  if (!SessionEnded()) host_.View().ShowError(kSleptMessage);
}
