#include "card_check_launcher.h"

#include <windows.h>

#include <fstream>
#include <string>

#include "child_process.h"

namespace selftest {

int LaunchCardCheck(const std::filesystem::path& kit, Report& report, RunStop& stop) {
  const std::filesystem::path program = kit / "cardcheck.exe";
  const std::filesystem::path output = kit / "card-check.txt";
  if (!std::filesystem::exists(program)) {
    report.Say("This kit has no card check (cardcheck.exe is missing).");
    return kCardCheckFailed;
  }
  std::error_code ignored;
  std::filesystem::remove(output, ignored);
  const ChildEnd end =
      RunChild(program, {kit.wstring()}, std::nullopt, INFINITE, stop, OnStop::kLetFinish);
  std::ifstream checked(output, std::ios::binary);
  for (std::string line; std::getline(checked, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    report.Record(line);
  }
  if (!end.started) report.Say("The card check could not be started.");
  if (end.ended) {
    report.Say(
        "The card check did not end within 10 s of the stop and was ended: the channel "
        "decoder may still be switched. Restart the PC before using the card.");
  }
  if (Crashed(end)) report.Say("The card check CRASHED.");
  return end.started && !end.ended && !Crashed(end) ? static_cast<int>(end.exitCode)
                                                    : kCardCheckFailed;
}

}  // namespace selftest
