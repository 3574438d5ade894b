#pragma once

// Runs another program of the kit to its end (Windows only). Everything it
// starts in turn ends with it, so that a crashed test leaves no program of
// its own running.

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace selftest {

struct ChildEnd {
  bool started = false;
  bool timedOut = false;
  DWORD exitCode = 0;  // an exception code (0xC...) when the program crashed
};

// Runs program with arguments (each quoted as needed). Its output goes to
// outputFile; without one it has the kit's own input and output, the
// console or whatever selftest.cmd's were redirected to.
ChildEnd RunChild(const std::filesystem::path& program, const std::vector<std::wstring>& arguments,
                  const std::optional<std::filesystem::path>& outputFile, DWORD timeoutMs);

// A program that ended with an exception rather than an exit code.
inline bool Crashed(const ChildEnd& end) {
  return end.started && !end.timedOut && end.exitCode >= 0xC0000000;
}

}  // namespace selftest
