#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "common/i2c_control.h"
#include "simcard/card_config.h"
#include "simcard/sim_card.h"
#include "simcard/steady_card_clock.h"

namespace simcard::com {

// The card behind one filter object: opened from the card's folder when the
// object is made (its memories, its registers, and the number of requests
// this process made of it before), saved there after every write it carries
// out, its transactions appended to the folder's log as they happen. Without
// a folder named there is no card: every request fails, so that a
// registration left behind by a test can never pass for the real card and
// make a write to it look done. Requests the
// folder's card.txt names to hold wait, before they are carried out, until
// the test lets them go (request_hold.h).
class CardSession {
 public:
  // Nothing when the folder's card can't be opened (the reason goes to com.log).
  static std::unique_ptr<CardSession> Open();

  CardSession(std::unique_ptr<SimCard> card, std::optional<std::filesystem::path> folder,
              std::unique_ptr<SteadyCardClock> clock, const CardConfig& config = {});
  CardSession(const CardSession&) = delete;
  CardSession& operator=(const CardSession&) = delete;

  KsResult KsProperty(void* property, std::uint32_t propertyLength, void* data,
                      std::uint32_t dataLength, std::uint32_t* bytesReturned);

 private:
  void RecordInFolder(std::uint64_t arrived);
  // Saves the memory of device after a write to it; false when that failed.
  bool SaveMemory(std::uint8_t device) const;

  std::unique_ptr<SteadyCardClock> clock_;
  std::unique_ptr<SimCard> card_;  // null without a folder
  std::optional<std::filesystem::path> folder_;
  // Open for the whole connection: opening the file for every line would
  // cost each request a good part of a millisecond under Wine.
  std::ofstream log_;
  std::size_t logged_ = 0;
  std::set<std::size_t> holds_;
  std::string holdEvent_;
};

}  // namespace simcard::com
