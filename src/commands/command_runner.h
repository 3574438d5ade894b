#pragma once

#include "commands/command_host.h"

// Runs the operator's commands, one at a time, and carries out what the
// system says meanwhile: the session's end and sleep cut a command short
// (everything it changed is put back before the system is answered), and a
// command cut by sleep is told once the PC is awake again. Nothing a command
// throws gets past it.
class CommandRunner {
 public:
  using Command = void (*)(CommandHost&, const CommandServices&);

  CommandRunner(CommandHost& host, const CommandServices& services)
      : host_(host), services_(services) {}
  CommandRunner(const CommandRunner&) = delete;
  CommandRunner& operator=(const CommandRunner&) = delete;

  // Runs command to its end; nothing once the session has ended. Then tells
  // of a sleep that cut it, if the PC is awake again.
  void Run(Command command);
  bool Running() const { return running_; }

  // The system may end the program as soon as this returns: what the
  // command changed is put back now; it unwinds as a failure, showing
  // nothing more, and no command runs afterwards.
  void EndSession() { services_.card.EndNow(); }
  bool SessionEnded() const { return services_.card.Ended(); }

  // The PC goes to sleep, which no program can refuse: a command using the
  // card is cut short as at the session's end, before this returns.
  void Suspend();
  // The PC is awake again (the first of the system's wake notices is
  // enough). Called where no box may be shown; TellOfSleep shows it.
  void Woken();
  // The one box about a command cut by sleep, once the PC is awake and no
  // command runs.
  void TellOfSleep();

 private:
  enum class Sleep { None, Slept, Woken };

  void ShowUnexpected(const std::string& what);

  CommandHost& host_;
  CommandServices services_;
  bool running_ = false;
  Sleep sleep_ = Sleep::None;  // of a command cut by it, until told
};
