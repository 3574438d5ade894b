#pragma once

// Where the simulated card keeps its content under Windows: the folder named
// by the environment variable OSTREL_SIMCARD_DIR (a Windows path, e.g.
// Z:\tmp\card under Wine). The folder holds card.txt, board.bin, dsp.bin and
// log.txt of the neutral card, and com.log, this module's own notes.

#include <filesystem>
#include <optional>
#include <string>

namespace simcard::com {

inline constexpr wchar_t kCardFolderVariable[] = L"OSTREL_SIMCARD_DIR";
inline constexpr char kModuleNotesName[] = "com.log";

// The folder, or nothing when the variable is unset or empty.
std::optional<std::filesystem::path> FolderInEnvironment();

// Appends line to the folder's com.log; nothing happens without a folder.
void AppendModuleNote(const std::string& line);

}  // namespace simcard::com
