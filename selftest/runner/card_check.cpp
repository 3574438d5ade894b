#include "card_check.h"

#include <windows.h>

#include <fstream>
#include <string>

#include "child_process.h"

namespace selftest {

int RunCardCheck(const std::filesystem::path& kit, Report& report) {
  const std::filesystem::path program = kit / "cardcheck.exe";
  const std::filesystem::path output = kit / "card-check.txt";
  if (!std::filesystem::exists(program)) {
    report.Say("This kit has no card check (cardcheck.exe is missing).");
    return 1;
  }
  std::error_code ignored;
  std::filesystem::remove(output, ignored);
  const ChildEnd end = RunChild(program, {kit.wstring()}, std::nullopt, INFINITE);
  std::ifstream checked(output, std::ios::binary);
  for (std::string line; std::getline(checked, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    report.Record(line);
  }
  if (!end.started) report.Say("The card check could not be started.");
  if (Crashed(end)) report.Say("The card check CRASHED.");
  return end.started && !Crashed(end) ? static_cast<int>(end.exitCode) : 1;
}

}  // namespace selftest
