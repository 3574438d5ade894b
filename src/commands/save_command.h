#pragma once

#include "commands/command_host.h"

// "Save to file...": reads the selected EEPROM into a file.
void OnSaveToFile(CommandHost& host, const CommandServices& services);
