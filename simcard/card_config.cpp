#include "simcard/card_config.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <system_error>

namespace simcard {
namespace {

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

// Decimal, or hexadecimal after 0x; the whole text must be the number.
std::optional<std::int64_t> ParseNumber(std::string_view text) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return negative ? -std::int64_t{value} : std::int64_t{value};
}

std::optional<std::int64_t> ParseInRange(std::string_view text, std::int64_t low,
                                         std::int64_t high) {
  std::optional<std::int64_t> value = ParseNumber(text);
  if (!value || *value < low || *value > high) return std::nullopt;
  return value;
}

// Takes one key=value setting into config; false when it is not one.
bool ApplySetting(std::string_view key, std::string_view value, CardConfig& config) {
  if (key == "board_size") {
    const auto size = ParseInRange(value, 1, 65536);
    if (size) config.boardSize = static_cast<std::uint32_t>(*size);
    return size.has_value();
  }
  if (key == "fail_transaction") {
    const auto number = ParseInRange(value, 1, 0xFFFFFFFF);
    if (number) config.failTransactions.push_back(static_cast<std::size_t>(*number));
    return number.has_value();
  }
  if (key == "fail_device") {
    const auto device = ParseInRange(value, 0, 0xFF);
    if (device) config.failDevices.push_back(static_cast<std::uint8_t>(*device));
    return device.has_value();
  }
  if (key == "fail_code") {
    // Either a signed value or the 32-bit pattern of an HRESULT.
    const auto code = ParseInRange(value, -0x80000000LL, 0xFFFFFFFF);
    if (code) config.failCode = static_cast<KsResult>(static_cast<std::uint32_t>(*code));
    return code.has_value();
  }
  if (key == "hold_request") {
    const auto number = ParseInRange(value, 1, 0xFFFFFFFF);
    if (number) config.holdRequests.push_back(static_cast<std::size_t>(*number));
    return number.has_value();
  }
  if (key == "hold_event") {
    config.holdEvent = std::string(value);
    return !value.empty();
  }
  return false;
}

}  // namespace

std::optional<CardConfig> ParseCardConfig(std::string_view text, std::string& error) {
  CardConfig config;
  int lineNumber = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos ||
        !ApplySetting(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), config)) {
      error = "line " + std::to_string(lineNumber) + ": bad setting '" + std::string(line) + "'";
      return std::nullopt;
    }
  }
  if (!config.holdRequests.empty() && config.holdEvent.empty()) {
    error = "hold_request without hold_event";
    return std::nullopt;
  }
  return config;
}

std::optional<CardConfig> ReadCardConfig(const std::filesystem::path& folder, std::string& error) {
  const std::filesystem::path file = folder / kCardConfigName;
  std::error_code ignored;
  if (!std::filesystem::exists(file, ignored)) return CardConfig{};
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = "cannot read " + file.string();
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::optional<CardConfig> config = ParseCardConfig(text.str(), error);
  if (!config) error = file.string() + ": " + error;
  return config;
}

void ApplyFaults(const CardConfig& config, SimCard& card) {
  for (std::size_t number : config.failTransactions) card.FailTransaction(number, config.failCode);
  for (std::uint8_t device : config.failDevices) card.FailDevice(device, config.failCode);
}

std::unique_ptr<SimCard> OpenCardFolder(CardClock& clock, const std::filesystem::path& folder,
                                        std::string& error) {
  const std::optional<CardConfig> config = ReadCardConfig(folder, error);
  if (!config) return nullptr;
  return OpenCardFolder(clock, folder, *config, error);
}

std::unique_ptr<SimCard> OpenCardFolder(CardClock& clock, const std::filesystem::path& folder,
                                        const CardConfig& config, std::string& error) {
  auto card = std::make_unique<SimCard>(clock, config.boardSize);
  ApplyFaults(config, *card);
  if (!card->LoadFrom(folder)) {
    error = "cannot load the EEPROM images in " + folder.string();
    return nullptr;
  }
  return card;
}

}  // namespace simcard
