#pragma once

// A dialog's initial control data, the resource the dialog editor stores
// beside a template (type 240): the strings its lists start with. Plain Win32
// dialogs don't apply it, so the dialog does at initialisation.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct DialogInitEntry {
  std::uint16_t controlId;
  std::uint16_t message;  // the 16-bit message code the format keeps
  std::string data;       // ANSI bytes, without the terminating zero
};

// The entries up to the terminating zero id; nothing when the data is cut
// short or an entry runs past its end.
std::optional<std::vector<DialogInitEntry>> ParseDialogInitData(std::span<const std::uint8_t> data);
