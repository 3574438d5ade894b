#include "support/command_bench.h"

#include "ui/save_command.h"
#include "ui/write_command.h"

void CommandBench::Save() {
  OnSaveToFile(host, services);
}

void CommandBench::Write() {
  OnWriteToEEPROM(host, services);
}

std::string CommandBench::MachineState() const {
  return std::to_string(card.card.Log().size()) + "/" +
         std::to_string(card.connector.OpenConnections());
}

std::vector<std::string> CommandBench::ClaimAroundRequests(CardUse use) const {
  const std::size_t requests = card.card.Log().size();
  if (requests == 0) return {};
  const std::string end = std::to_string(requests) + "/0";
  return {"lock 0/0", use == CardUse::Reading ? "awake, reading 0/0" : "awake, writing 0/0",
          "may sleep " + end, "unlock " + end};
}
