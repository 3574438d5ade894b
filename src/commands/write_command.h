#pragma once

#include "commands/command_host.h"

// "Write to EEPROM...": programs the selected EEPROM from a file.
void OnWriteToEEPROM(CommandHost& host, const CommandServices& services);
