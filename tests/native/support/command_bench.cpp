#include "support/command_bench.h"

#include "ui/save_command.h"
#include "ui/write_command.h"

void CommandBench::Save() {
  OnSaveToFile(host, services);
}

void CommandBench::Write() {
  OnWriteToEEPROM(host, services);
}
