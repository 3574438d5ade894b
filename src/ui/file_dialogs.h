#pragma once

#include <windows.h>

#include <optional>

#include "common/file.h"

// The commands' file dialogs: EEPROM images, default extension ".bin", no
// initial name. An existing file is replaced without a question, and a name
// that does not exist is accepted for opening. Nothing when cancelled or
// failed.
std::optional<FilePath> ShowSaveFileDialog(HWND owner);
std::optional<FilePath> ShowOpenFileDialog(HWND owner);
