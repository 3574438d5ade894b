#pragma once

// Runs another program of the kit to its end (Windows only). Everything it
// starts in turn ends with it, so that a crashed test leaves no program of
// its own running.

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
  bool stopped = false;  // the run was stopped while it ran
  bool ended = false;    // by the kit: it hung, or did not finish when stopped
  DWORD exitCode = 0;    // an exception code (0xC...) when the program crashed
};

// What a stop of the run does to the program: a test program is ended at
// once; the card check, which stops itself on the same console event, is
// given kLetFinishMs to put the card back and report.
enum class OnStop { kEndAtOnce, kLetFinish };
inline constexpr DWORD kLetFinishMs = 10000;

// Runs program with arguments (each quoted as needed). Its output goes to
// outputFile; without one it has the kit's own input and output, the
// console or whatever selftest.cmd's were redirected to.
ChildEnd RunChild(const std::filesystem::path& program, const std::vector<std::wstring>& arguments,
                  const std::optional<std::filesystem::path>& outputFile, DWORD timeoutMs,
                  RunStop& stop, OnStop onStop = OnStop::kEndAtOnce);

// A program that ended with an exception rather than an exit code.
inline bool Crashed(const ChildEnd& end) {
  return end.started && !end.ended && end.exitCode >= 0xC0000000;
}

}  // namespace selftest
