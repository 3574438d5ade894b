#pragma once

// The transaction log as text, for tests that run the real program against
// the card and read the traffic afterwards. One line a transaction, fields
// separated by single spaces, the note last and running to the line's end:
//
//   n=12 t=240000 pid=1234 own=85 SET dev=A2 sub=0140 len=64 data=00FF...3C result=0x00000000 note=
//
// n is the transaction number (from 1, as the faults count), t the card's
// time in microseconds, pid the process that made the request and own the
// driver's own time on it in microseconds, keeping the content included
// (both 0 where not known), the kind GET, SET or BAD (refused while decoding; the
// other fields then hold what could be read). dev, sub and data are hex, two
// digits a byte, no separators; sub and data may be empty (a read's data are
// the bytes handed back, nothing when it failed). result is the driver's
// answer as 8 hex digits.

#include <cstddef>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "simcard/transaction.h"

namespace simcard {

inline constexpr const char* kLogFileName = "log.txt";

std::string FormatTransaction(const Transaction& transaction);

// Appends the entries of log from index from on, so that a caller can append
// as the log grows. Creates file when absent.
bool AppendLog(const std::vector<Transaction>& log, const std::filesystem::path& file,
               std::size_t from = 0);
// The same on a stream that stays open, flushed after the entries.
bool AppendLog(const std::vector<Transaction>& log, std::ostream& out, std::size_t from);

}  // namespace simcard
