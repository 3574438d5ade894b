#pragma once

// The programs the kit starts, and what stops a run (Windows only).
//
// A test program runs with everything it starts in a job of its own: before
// its run counts as over, and before the kit puts anything back, every
// process of its job is ended and gone. The card check is no member of any
// job: it must never die in the middle of a read, so it is told to stop and
// given its time to put the card back.
//
// A run stops on Ctrl+C, Ctrl+Break or a closed console, which the kit's
// thread carries out once told (ConsoleStop); and on a log-off or shutdown,
// which a console program that loads user32 hears only as
// WM_QUERYENDSESSION and WM_ENDSESSION on a top-level window of its own
// (SessionEndWindow). Those are sent messages: the waits here answer them
// while the kit waits for its programs.

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/win32_handle.h"
#include "selftest/common/console_stop.h"

namespace selftest {

enum class ProgramKind {
  // Ended at once on a stop, with everything it started: a test program.
  kTest,
  // In a process group of its own, told to stop with a Ctrl+Break and waited
  // for: the card check.
  kCardCheck,
};

class StartedProgram {
 public:
  // Starts program with the command line and the standard handles of
  // startup.
  StartedProgram(const std::filesystem::path& program, std::wstring commandLine,
                 STARTUPINFOW& startup, ProgramKind kind);
  // Ends whatever is left of it.
  ~StartedProgram() { EndAll(); }
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  explicit operator bool() const { return static_cast<bool>(process_); }
  HANDLE Process() const { return process_.Get(); }
  bool HasEnded() const { return WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0; }
  // Its exit code once it has ended (an exception code, 0xC..., when it
  // crashed).
  DWORD ExitCode() const;

  // Tells the card check to stop: a Ctrl+Break to its process group (a
  // Ctrl+C under Wine).
  void TellToStop() const;
  // Ends the program and every process of its job, and waits until none is
  // left; false when one was still there after kEndWaitMs.
  bool EndAll();
  // Whether the program itself was still running when EndAll ended it.
  bool EndedByKit() const { return endedByKit_; }
  // The session ends, and Windows ends the kit about 5 s after it told it:
  // a test program is ended at once, the card check told to stop and given
  // kCardCheckCloseWaitMs before it is ended.
  void EndBeforeTheSession();

 private:
  Win32Handle process_;
  Win32Handle job_;
  DWORD id_ = 0;
  ProgramKind kind_;
  bool endedByKit_ = false;
};

class RunStop {
 public:
  RunStop();
  RunStop(const RunStop&) = delete;
  RunStop& operator=(const RunStop&) = delete;

  // Whether the console or the session asked the run to stop.
  bool Requested() const { return sessionEnding_ || console_.Requested(); }
  // How long a program told to stop may take: shorter when the console is
  // closing or the session ending, as Windows then ends the kit about 5 s
  // after it told it.
  DWORD PatienceWithTheTold() const;

  enum class Waited { kDone, kTimedOut, kStopped };
  // Waits for program to end, answering the messages sent to the thread's
  // windows meanwhile; with untilStop it gives up as soon as a stop is asked
  // for. The program waited for is the one the session's end ends.
  Waited WaitFor(StartedProgram& program, DWORD timeoutMs, bool untilStop);

  // The session ends: the program waited for is ended (the card check after
  // its time to put the card back) before this returns, and the run stops.
  void EndSession();
  // What a stop needs is done: a console's handler may return now (and,
  // for a closed console, the system end the kit).
  void Finished() { console_.Finished(); }

 private:
  ConsoleStop console_;
  bool sessionEnding_ = false;
  StartedProgram* waitedFor_ = nullptr;
};

// How a test program's run ended.
struct TestProgramEnd {
  bool started = false;
  bool timedOut = false;
  bool stopped = false;      // the run was stopped while it ran
  bool endedByKit = false;   // it hung, or the run was stopped
  bool leftRunning = false;  // a program it started could not be ended
  DWORD exitCode = 0;        // an exception code (0xC...) when the program crashed

  // Whether it ended with an exception rather than an exit code.
  bool Crashed() const { return started && !endedByKit && exitCode >= 0xC0000000; }
};

// Runs the test program with arguments, its input from NUL and its output
// into outputFile; ends it, with everything it started, when the run is
// stopped or after timeoutMs.
TestProgramEnd RunTestProgram(const std::filesystem::path& program,
                              const std::vector<std::wstring>& arguments,
                              const std::filesystem::path& outputFile, DWORD timeoutMs,
                              RunStop& stop);

// The command line of program with arguments, each quoted as needed.
std::wstring CommandLine(const std::filesystem::path& program,
                         const std::vector<std::wstring>& arguments);

}  // namespace selftest
