#include "simcard/transaction_log_file.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>

namespace simcard {
namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

const char* KindName(const Transaction& transaction) {
  if (!transaction.wellFormed) return "BAD";
  return transaction.kind == TransactionKind::Get ? "GET" : "SET";
}

std::string ResultText(KsResult result) {
  std::array<char, 11> text{};
  std::snprintf(text.data(), text.size(), "0x%08X", static_cast<unsigned>(result));
  return text.data();
}

}  // namespace

std::string FormatTransaction(const Transaction& transaction) {
  return "n=" + std::to_string(transaction.number) +
         " t=" + std::to_string(transaction.timeMicros) +
         " pid=" + std::to_string(transaction.process) +
         " own=" + std::to_string(transaction.ownMicros) + " " + KindName(transaction) +
         " dev=" + Hex({transaction.device}) + " sub=" + Hex(transaction.subaddress) +
         " len=" + std::to_string(transaction.length) + " data=" + Hex(transaction.data) +
         " result=" + ResultText(transaction.result) + " note=" + transaction.note;
}

bool AppendLog(const std::vector<Transaction>& log, std::ostream& out, std::size_t from) {
  for (std::size_t i = from; i < log.size(); ++i) out << FormatTransaction(log[i]) << '\n';
  out.flush();
  return static_cast<bool>(out);
}

bool AppendLog(const std::vector<Transaction>& log, const std::filesystem::path& file,
               std::size_t from) {
  std::ofstream out(file, std::ios::binary | std::ios::app);
  return AppendLog(log, out, from);
}

}  // namespace simcard
