#pragma once

// The simulated card's folder as a test of the real program sees it: the
// EEPROM images and card.txt it sets up beforehand, and the transaction log
// and the DLL's notes it reads afterwards.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "support/test_bytes.h"

namespace ostrel_commands {

// One line of log.txt.
struct LoggedTransaction {
  std::uint64_t timeMicros = 0;  // the card's clock when the request arrived
  unsigned long process = 0;     // the process that made the request
  std::uint64_t ownMicros = 0;   // the card's own time on the request
  std::string kind;              // GET, SET or BAD
  std::string device;
  std::string subaddress;
  int length = 0;
  std::string data;
  std::string result;
};

class CardFolder {
 public:
  CardFolder() = default;
  // With card.txt holding cardText.
  explicit CardFolder(const std::string& cardText) { SetConfig(cardText); }

  const std::filesystem::path& Path() const { return folder_.path(); }
  // The entry that points the program's card at this folder.
  std::wstring EnvironmentEntry() const;

  void SetConfig(const std::string& cardText) const;
  void SetBoard(const Bytes& image) const;
  void SetDsp(const Bytes& image) const;
  // The channel decoder's 256 registers.
  void SetChDec(const Bytes& registers) const;
  Bytes Board() const;
  Bytes Dsp() const;
  Bytes ChDec() const;

  bool HasLog() const;
  std::vector<LoggedTransaction> Log() const;
  // The lines of com.log, the DLL's notes; empty when it wrote none.
  std::vector<std::string> ModuleNotes() const;

 private:
  TempFolder folder_;
};

// The channel decoder's registers as a command must leave them: not switched,
// every other register distinct.
Bytes ChDecAtRest();

// Whether log[at] and log[at + 1] are the channel decoder's restore: register
// 0x07 set to normal first, then the six registers written back as the last
// read of them before found them.
bool IsRestoreAt(const std::vector<LoggedTransaction>& log, std::size_t at);

// How many transactions of kind went to device (two hex digits).
std::size_t CountOf(const std::vector<LoggedTransaction>& log, const std::string& kind,
                    const std::string& device);

}  // namespace ostrel_commands
