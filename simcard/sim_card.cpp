#include "simcard/sim_card.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "simcard/card_store.h"
#include "simcard/request_decoder.h"

namespace simcard {
namespace {

constexpr EepromGeometry kBoardGeometry = {EepromGeometry::Subaddress::LowByteFirst, 0};
constexpr EepromGeometry kDspGeometry = {EepromGeometry::Subaddress::HighByteFirst, kDspPageSize};

std::uint32_t CheckedBoardSize(std::uint32_t size) {
  if (size == 0) throw std::invalid_argument("board EEPROM size must be at least 1");
  return size;
}

Transaction Describe(const DecodedRequest& request, std::uint64_t timeMicros) {
  Transaction transaction;
  transaction.kind = request.kind;
  transaction.device = request.device;
  transaction.subaddress = request.subaddress;
  transaction.length = request.length;
  transaction.data = request.writeData;
  transaction.timeMicros = timeMicros;
  return transaction;
}

// A read goes into a buffer of its own first: the caller's buffer receives
// the bytes only when the device acknowledged.
Answer CarryOut(I2cBus& bus, const DecodedRequest& request, std::vector<std::uint8_t>& readData) {
  if (request.kind == TransactionKind::Set) {
    return bus.Write(request.device, request.subaddress, request.writeData);
  }
  readData.assign(request.length, 0);
  return bus.Read(request.device, request.subaddress, readData);
}

}  // namespace

SimCard::SimCard(CardClock& clock, std::uint32_t boardSize)
    : clock_(clock),
      board_(clock, CheckedBoardSize(boardSize), kBoardGeometry),
      dsp_(clock, kDspEepromSize, kDspGeometry),
      dspBehindChDec_(dsp_, chdec_) {
  bus_.Attach(kChDecAddress, chdec_);
  bus_.Attach(kBoardEepromAddress, board_);
  bus_.Attach(kDspEepromAddress, dspBehindChDec_);
  SnapshotChDec();
}

KsResult SimCard::KsProperty(const void* property, std::uint32_t propertyLength, const void* data,
                             std::uint32_t dataLength, std::uint32_t* bytesReturned) {
  const std::size_t number = RequestsNumbered() + 1;
  DecodeResult decoded = DecodeRequest(property, propertyLength, data, dataLength);
  Transaction transaction = Describe(decoded.request, clock_.NowMicros());
  transaction.number = number;
  if (decoded.error.empty() && bytesReturned == nullptr) decoded.error = "bytesReturned is null";
  if (bytesReturned != nullptr) *bytesReturned = 0;
  if (!decoded.error.empty()) return Record(std::move(transaction), kKsFail, decoded.error);

  transaction.wellFormed = true;
  if (std::optional<KsResult> fault = faults_.FaultFor(number, transaction.device)) {
    return Record(std::move(transaction), *fault, "injected fault");
  }
  std::vector<std::uint8_t> readData;
  Answer answer = CarryOut(bus_, decoded.request, readData);
  if (!answer.acknowledged) {
    return Record(std::move(transaction), kKsFail, "not acknowledged: " + answer.note);
  }
  if (decoded.request.kind == TransactionKind::Get) {
    std::copy(readData.begin(), readData.end(), decoded.request.readBuffer);
    transaction.data = std::move(readData);
  }
  return Record(std::move(transaction), kKsOk, {});
}

KsResult SimCard::Record(Transaction transaction, KsResult result, std::string note) {
  transaction.result = result;
  transaction.note = std::move(note);
  log_.push_back(std::move(transaction));
  return result;
}

std::vector<std::uint8_t>& SimCard::BoardEeprom() {
  return board_.Memory();
}
std::vector<std::uint8_t>& SimCard::DspEeprom() {
  return dsp_.Memory();
}
std::uint8_t& SimCard::ChDecRegister(std::uint8_t reg) {
  return chdec_.Register(reg);
}
std::span<const std::uint8_t> SimCard::ChDecRegisters() const {
  return chdec_.Registers();
}
std::uint32_t SimCard::BoardSize() const {
  return static_cast<std::uint32_t>(board_.Memory().size());
}

bool SimCard::ChDecSwitched() const {
  return chdec_.Switched();
}

SimCard::ChDecState SimCard::ReadChDecState() const {
  ChDecState state{};
  for (std::size_t i = 0; i < ChannelDecoder::kGpioRegisterCount; ++i) {
    state[i] = chdec_.Register(static_cast<std::uint8_t>(ChannelDecoder::kGpioRegisters + i));
  }
  state.back() = chdec_.Register(ChannelDecoder::kModeRegister);
  return state;
}

void SimCard::SnapshotChDec() {
  chdecSnapshot_ = ReadChDecState();
}
bool SimCard::ChDecRestored() const {
  return ReadChDecState() == chdecSnapshot_;
}

const std::vector<Transaction>& SimCard::Log() const {
  return log_;
}
void SimCard::NoteLastRequest(std::uint32_t process, std::uint64_t ownMicros) {
  if (log_.empty()) return;
  log_.back().process = process;
  log_.back().ownMicros = ownMicros;
}

void SimCard::ClearLog() {
  log_.clear();
  numberedBefore_ = 0;
}
std::size_t SimCard::RequestsNumbered() const {
  return numberedBefore_ + log_.size();
}
void SimCard::ContinueNumberingAfter(std::size_t requests) {
  numberedBefore_ = requests;
}

void SimCard::FailTransaction(std::size_t number, KsResult code) {
  faults_.FailTransaction(number, code);
}
void SimCard::FailDevice(std::uint8_t device, KsResult code) {
  faults_.FailDevice(device, code);
}
void SimCard::ClearFaults() {
  faults_.Clear();
}

bool SimCard::LoadFrom(const std::filesystem::path& folder) {
  std::vector<std::uint8_t> board = board_.Memory();
  std::vector<std::uint8_t> dsp = dsp_.Memory();
  std::array<std::uint8_t, 256> registers = chdec_.Registers();
  if (LoadImage(folder / kBoardImageName, board) == ImageLoad::Failed ||
      LoadImage(folder / kDspImageName, dsp) == ImageLoad::Failed ||
      LoadImage(folder / kChDecImageName, registers) == ImageLoad::Failed) {
    return false;
  }
  board_.Memory() = std::move(board);
  dsp_.Memory() = std::move(dsp);
  chdec_.Registers() = registers;
  SnapshotChDec();
  return true;
}

bool SimCard::SaveTo(const std::filesystem::path& folder) const {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return false;
  return SaveImage(folder / kBoardImageName, board_.Memory()) &&
         SaveImage(folder / kDspImageName, dsp_.Memory()) &&
         SaveImage(folder / kChDecImageName, chdec_.Registers());
}

}  // namespace simcard
