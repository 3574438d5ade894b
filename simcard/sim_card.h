#pragma once

// The simulated capture card: the driver side of the I2C property request and
// the card's I2C bus with its three devices. It is as strict as real hardware
// so that it catches faults of the code under test.
//
// PUBLIC API SKETCH: implemented in sim_card.cpp (and helpers in this folder).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/i2c_control.h"
#include "simcard/card_clock.h"

namespace simcard {

inline constexpr std::uint8_t kChDecAddress = 0x10;
inline constexpr std::uint8_t kBoardEepromAddress = 0xA0;
inline constexpr std::uint8_t kDspEepromAddress = 0xA2;
inline constexpr std::uint32_t kDspEepromSize = 32768;
// A write to an EEPROM still busy for less than this is not acknowledged.
inline constexpr std::uint64_t kWriteCycleMicros = 5000;

enum class TransactionKind { Get, Set };

// One request as the driver saw it.
struct Transaction {
  bool wellFormed = false;  // false: the request was refused while decoding
  TransactionKind kind = TransactionKind::Get;
  std::uint8_t device = 0;
  std::vector<std::uint8_t> subaddress;
  std::uint32_t length = 0;         // bytes read or written
  std::vector<std::uint8_t> data;   // bytes written, or bytes handed back by a read
  std::uint64_t timeMicros = 0;     // card clock when the request arrived
  KsResult result = kKsOk;
  std::string note;                 // why it was refused or failed, for test output
};

class SimCard {
 public:
  explicit SimCard(CardClock& clock, std::uint32_t boardSize = 256);

  // Driver side: decodes the property request strictly and carries out the
  // transaction on the bus. Any malformed request is refused with a failure
  // code and logged.
  KsResult KsProperty(void* property, std::uint32_t propertyLength, void* data,
                      std::uint32_t dataLength, std::uint32_t* bytesReturned);

  // Content, for tests to set up and inspect without bus traffic.
  std::vector<std::uint8_t>& BoardEeprom();
  std::vector<std::uint8_t>& DspEeprom();
  std::uint8_t& ChDecRegister(std::uint8_t reg);

  // Whether the channel decoder is in the state that makes 0xA2 reachable
  // (register 0x07 holds 0x02 and register 0x40 holds 0xFF).
  bool ChDecSwitched() const;
  // Remembers the six registers 0x3C..0x41 and register 0x07, and tells later
  // whether they hold those values again.
  void SnapshotChDec();
  bool ChDecRestored() const;

  // Every request since creation (or ClearLog), in order.
  const std::vector<Transaction>& Log() const;
  void ClearLog();

  // Faults. Transaction numbers count requests from 1 since creation or
  // ClearLog; a failing request changes nothing on the bus.
  void FailTransaction(std::size_t number, KsResult code = kKsFail);
  void FailDevice(std::uint8_t device, KsResult code = kKsFail);
  void ClearFaults();

  // EEPROM content kept in a folder (board.bin, dsp.bin), so that a virtual
  // card keeps its content between runs.
  bool LoadFrom(const std::filesystem::path& folder);
  bool SaveTo(const std::filesystem::path& folder) const;
};

}  // namespace simcard
