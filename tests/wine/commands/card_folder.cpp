#include "card_folder.h"

#include <algorithm>
#include <sstream>

#include "simcard/card_config.h"
#include "simcard/card_store.h"
#include "simcard/com/card_folder.h"
#include "simcard/transaction_log_file.h"

namespace ostrel_commands {

namespace {

// "key=value" → value; empty when the field is not key's.
std::string Field(const std::string& token, const std::string& key) {
  const std::string prefix = key + "=";
  return token.rfind(prefix, 0) == 0 ? token.substr(prefix.size()) : std::string();
}

std::uint64_t Number(const std::string& token, const std::string& key) {
  const std::string text = Field(token, key);
  return text.empty() ? 0 : std::stoull(text);
}

LoggedTransaction ParseLine(const std::string& line) {
  std::istringstream in(line);
  std::string number, time, process, own, kind, device, subaddress, length, data, result;
  in >> number >> time >> process >> own >> kind >> device >> subaddress >> length >> data >>
      result;
  LoggedTransaction transaction;
  transaction.timeMicros = Number(time, "t");
  transaction.ownMicros = Number(own, "own");
  transaction.process = static_cast<unsigned long>(Number(process, "pid"));
  transaction.kind = kind;
  transaction.device = Field(device, "dev");
  transaction.subaddress = Field(subaddress, "sub");
  transaction.length = static_cast<int>(Number(length, "len"));
  transaction.data = Field(data, "data");
  transaction.result = Field(result, "result");
  return transaction;
}

}  // namespace

std::wstring CardFolder::EnvironmentEntry() const {
  return std::wstring(simcard::com::kCardFolderVariable) + L"=" + Path().wstring();
}

void CardFolder::SetConfig(const std::string& cardText) const {
  WriteWholeFile(folder_ / simcard::kCardConfigName, Bytes(cardText.begin(), cardText.end()));
}

void CardFolder::SetBoard(const Bytes& image) const {
  WriteWholeFile(folder_ / "board.bin", image);
}

void CardFolder::SetDsp(const Bytes& image) const {
  WriteWholeFile(folder_ / "dsp.bin", image);
}

void CardFolder::SetChDec(const Bytes& registers) const {
  WriteWholeFile(folder_ / simcard::kChDecImageName, registers);
}

Bytes CardFolder::Board() const {
  return ReadWholeFile(folder_ / "board.bin");
}

Bytes CardFolder::Dsp() const {
  return ReadWholeFile(folder_ / "dsp.bin");
}

Bytes CardFolder::ChDec() const {
  return ReadWholeFile(folder_ / simcard::kChDecImageName);
}

bool CardFolder::HasLog() const {
  return std::filesystem::exists(folder_ / simcard::kLogFileName);
}

std::vector<LoggedTransaction> CardFolder::Log() const {
  std::vector<LoggedTransaction> log;
  for (const std::string& line : ReadLines(folder_ / simcard::kLogFileName)) {
    log.push_back(ParseLine(line));
  }
  return log;
}

std::vector<std::string> CardFolder::ModuleNotes() const {
  return ReadLines(folder_ / simcard::com::kModuleNotesName);
}

Bytes ChDecAtRest() {
  Bytes registers = DistinctBytes(256, 69);
  registers[0x07] = 0x00;  // the mode register of a decoder not switched
  return registers;
}

bool IsRestoreAt(const std::vector<LoggedTransaction>& log, std::size_t at) {
  if (at + 1 >= log.size()) return false;
  const auto is = [](const LoggedTransaction& t, const char* what) {
    return t.kind + t.device + t.subaddress == what;
  };
  const auto saved = std::find_if(log.rend() - static_cast<std::ptrdiff_t>(at), log.rend(),
                                  [&](const LoggedTransaction& t) { return is(t, "GET103C"); });
  return is(log[at], "SET1007") && log[at].data == "00" && is(log[at + 1], "SET103C") &&
         saved != log.rend() && log[at + 1].data == saved->data;
}

std::size_t CountOf(const std::vector<LoggedTransaction>& log, const std::string& kind,
                    const std::string& device) {
  std::size_t count = 0;
  for (const LoggedTransaction& transaction : log) {
    if (transaction.kind == kind && transaction.device == device) ++count;
  }
  return count;
}

}  // namespace ostrel_commands
