#include "support/command_bench.h"

#include "commands/save_command.h"
#include "commands/write_command.h"

void CommandBench::Save() {
  runner.Run(OnSaveToFile);
}

void CommandBench::Write() {
  runner.Run(OnWriteToEEPROM);
}

std::string CommandBench::MachineState() const {
  return std::to_string(card.card.Log().size()) + "/" +
         std::to_string(card.connector.OpenConnections());
}

std::vector<std::string> CommandBench::ClaimAroundRequests(std::optional<CardUse> use) const {
  std::vector<std::string> steps;
  const auto add = [&](std::initializer_list<const char*> names, const std::string& state) {
    for (const char* name : names) steps.push_back(name + (" " + state));
  };
  const char* awake = use == CardUse::Writing ? "awake, writing" : "awake, reading";
  bool claimed = use.has_value();
  if (claimed) add({"lock", awake, "timer raised"}, "0/0");
  const auto endClaim = [&] {
    const std::string end = std::to_string(card.card.Log().size()) + "/0";
    if (claimed) add({"timer lowered", "may sleep", "unlock"}, end);
    claimed = false;
  };
  for (const std::string& event : machine.events) {
    if (event.rfind("unlock ", 0) == 0) endClaim();
    if (event.rfind("box ", 0) != 0) continue;
    const std::string state = event.substr(4);
    if (claimed) add({"timer lowered", "may sleep"}, state);
    steps.push_back(event);
    if (claimed) add({awake, "timer raised"}, state);
  }
  endClaim();
  return steps;
}
