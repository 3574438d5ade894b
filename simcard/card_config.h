#pragma once

// A card's folder: its EEPROM images (board.bin, dsp.bin) and an optional
// text file card.txt that sets the card up. card.txt holds one setting a
// line, key=value, blank lines and lines starting with '#' ignored:
//
//   board_size=512        board EEPROM size in bytes (default 256)
//   fail_transaction=3    fail the 3rd request (may be repeated)
//   fail_device=0xA2      fail every request to this device (may be repeated)
//   fail_code=1           code the faults answer with (default 0x80004005,
//                         E_FAIL; 1 is S_FALSE)
//   hold_request=40       hold the 40th request, before carrying it out,
//                         until the test lets it go (may be repeated;
//                         needs hold_event)
//   hold_event=Name       the named events of the holds (ASCII): the card
//                         sets "Name.held" when it holds a request, and
//                         carries it out once "Name" is set
//
// Numbers are decimal (a leading '-' allowed for fail_code) or hexadecimal
// with a 0x prefix. An unknown key or a bad number makes the file invalid.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simcard/sim_card.h"

namespace simcard {

inline constexpr const char* kCardConfigName = "card.txt";

struct CardConfig {
  std::uint32_t boardSize = kDefaultBoardSize;
  std::vector<std::size_t> failTransactions;
  std::vector<std::uint8_t> failDevices;
  KsResult failCode = kKsFail;
  std::vector<std::size_t> holdRequests;
  std::string holdEvent;
};

// The settings in text; nothing, with the reason in error, when invalid.
std::optional<CardConfig> ParseCardConfig(std::string_view text, std::string& error);

// folder's card.txt; the defaults when there is none.
std::optional<CardConfig> ReadCardConfig(const std::filesystem::path& folder, std::string& error);

void ApplyFaults(const CardConfig& config, SimCard& card);

// The card a folder describes: set up by config, holding its images.
std::unique_ptr<SimCard> OpenCardFolder(CardClock& clock, const std::filesystem::path& folder,
                                        const CardConfig& config, std::string& error);
// The same, set up by the folder's card.txt.
std::unique_ptr<SimCard> OpenCardFolder(CardClock& clock, const std::filesystem::path& folder,
                                        std::string& error);

}  // namespace simcard
