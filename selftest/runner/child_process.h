#pragma once

// Runs a test program of the kit to its end (Windows only), and everything
// it starts in turn with it: a crashed or stopped test leaves no program of
// its own running once its run counts as over.

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "run_stop.h"

namespace selftest {

struct ChildEnd {
  bool started = false;
  bool timedOut = false;
  bool stopped = false;      // the run was stopped while it ran
  bool ended = false;        // by the kit: it hung, or the run was stopped
  bool leftRunning = false;  // a program it started could not be ended
  DWORD exitCode = 0;        // an exception code (0xC...) when the program crashed
};

// Runs program with arguments (each quoted as needed), its input from NUL
// and its output into outputFile; ends it when the run is stopped.
ChildEnd RunChild(const std::filesystem::path& program, const std::vector<std::wstring>& arguments,
                  const std::filesystem::path& outputFile, DWORD timeoutMs, RunStop& stop);

// The command line of program with arguments, each quoted as needed.
std::wstring CommandLine(const std::filesystem::path& program,
                         const std::vector<std::wstring>& arguments);

// A program that ended with an exception rather than an exit code.
inline bool Crashed(const ChildEnd& end) {
  return end.started && !end.ended && end.exitCode >= 0xC0000000;
}

}  // namespace selftest
