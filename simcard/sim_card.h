#pragma once

// The simulated capture card: the driver side of the I2C property request and
// the card's I2C bus with its three devices. It is as strict as real hardware
// so that it catches faults of the code under test.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "common/i2c_control.h"
#include "simcard/card_clock.h"
#include "simcard/channel_decoder.h"
#include "simcard/fault_plan.h"
#include "simcard/i2c_bus.h"
#include "simcard/serial_eeprom.h"
#include "simcard/transaction.h"

namespace simcard {

inline constexpr std::uint8_t kChDecAddress = 0x10;
inline constexpr std::uint8_t kBoardEepromAddress = 0xA0;
inline constexpr std::uint8_t kDspEepromAddress = 0xA2;
inline constexpr std::uint32_t kDspEepromSize = 32768;
inline constexpr std::uint32_t kDspPageSize = 64;
inline constexpr std::uint32_t kDefaultBoardSize = 256;

class SimCard {
 public:
  // Both EEPROMs start erased; boardSize must be at least 1.
  explicit SimCard(CardClock& clock, std::uint32_t boardSize = kDefaultBoardSize);
  SimCard(const SimCard&) = delete;
  SimCard& operator=(const SimCard&) = delete;

  // Driver side: decodes the property request strictly and carries out the
  // transaction on the bus. Any malformed request is refused with kKsFail and
  // logged. Writes 0 to *bytesReturned (which must not be null). Reads the
  // property and the request record; writes only to the read buffer the record names.
  KsResult KsProperty(const void* property, std::uint32_t propertyLength, const void* data,
                      std::uint32_t dataLength, std::uint32_t* bytesReturned);

  // Content, for tests to set up and inspect without bus traffic.
  std::vector<std::uint8_t>& BoardEeprom();
  std::vector<std::uint8_t>& DspEeprom();
  std::uint8_t& ChDecRegister(std::uint8_t reg);
  std::span<const std::uint8_t> ChDecRegisters() const;
  std::uint32_t BoardSize() const;

  // Whether the channel decoder is in the state that makes 0xA2 reachable
  // (register 0x07 holds 0x02 and register 0x40 holds 0xFF).
  bool ChDecSwitched() const;
  // Remembers the six registers 0x3C..0x41 and register 0x07, and tells later
  // whether they hold those values again. Taken at creation and after a load
  // too.
  void SnapshotChDec();
  bool ChDecRestored() const;

  // Every request since creation (or ClearLog), in order.
  const std::vector<Transaction>& Log() const;
  void ClearLog();
  // Requests numbered so far. A card made afresh for each connection goes on
  // from the requests its earlier connections numbered, like a real card
  // that is there all along: ContinueNumberingAfter comes before its first
  // request.
  std::size_t RequestsNumbered() const;
  void ContinueNumberingAfter(std::size_t requests);
  // What only the driver around the card knows of the latest request: who
  // made it and how long the driver took over it in all.
  void NoteLastRequest(std::uint32_t process, std::uint64_t ownMicros);

  // Faults. Transaction numbers count requests from 1 since creation or
  // ClearLog (malformed ones included), after those ContinueNumberingAfter
  // names; a failing request changes nothing on the bus. code may be
  // positive (a success code other than S_OK): the driver returns it, and
  // the transaction still does not take place.
  void FailTransaction(std::size_t number, KsResult code = kKsFail);
  void FailDevice(std::uint8_t device, KsResult code = kKsFail);
  void ClearFaults();

  // The card's state kept in a folder: both EEPROMs and the channel
  // decoder's registers (board.bin, dsp.bin, chdec.bin), so that a virtual
  // card keeps it between connections and runs. A missing file leaves that
  // memory as it is; a file of the wrong size fails the load, which then
  // changes nothing. SaveTo creates the folder.
  bool LoadFrom(const std::filesystem::path& folder);
  bool SaveTo(const std::filesystem::path& folder) const;

 private:
  using ChDecState = std::array<std::uint8_t, ChannelDecoder::kGpioRegisterCount + 1>;

  ChDecState ReadChDecState() const;
  KsResult Record(Transaction transaction, KsResult result, std::string note);

  CardClock& clock_;
  SerialEeprom board_;
  SerialEeprom dsp_;
  ChannelDecoder chdec_;
  SwitchedDevice dspBehindChDec_;
  I2cBus bus_;
  FaultPlan faults_;
  std::vector<Transaction> log_;
  std::size_t numberedBefore_ = 0;
  ChDecState chdecSnapshot_{};
};

}  // namespace simcard
