#pragma once

// A program the kit started, with everything it started in turn, and how a
// stop of the run ends it (Windows only). Nothing of a test program outlives
// its run: before the run counts as over, and before the kit puts anything
// back, every process of its job is ended and gone. The card check is no
// member of any job: it must never die in the middle of a read, so it is told
// to stop and given its time to put the card back.

#include <windows.h>

#include <filesystem>
#include <string>

#include "common/win32_handle.h"

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
  ProgramKind Kind() const { return kind_; }
  bool HasEnded() const { return WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0; }
  // Its exit code once it has ended (an exception code, 0xC..., when it
  // crashed).
  DWORD ExitCode() const;

  // Tells the card check to stop: a Ctrl+Break to its process group.
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

}  // namespace selftest
