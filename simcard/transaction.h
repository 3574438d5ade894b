#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/i2c_control.h"

namespace simcard {

enum class TransactionKind { Get, Set };

// One request as the driver saw it.
struct Transaction {
  std::size_t number = 0;   // from 1, as the faults count
  bool wellFormed = false;  // false: the request was refused while decoding
  TransactionKind kind = TransactionKind::Get;
  std::uint8_t device = 0;
  std::vector<std::uint8_t> subaddress;
  std::uint32_t length = 0;        // bytes read or written
  std::vector<std::uint8_t> data;  // bytes written, or bytes handed back by a read
  std::uint64_t timeMicros = 0;    // card clock when the request arrived
  std::uint32_t process = 0;       // the requesting process, where the driver knows it
  std::uint64_t ownMicros = 0;     // the driver's own time on the request, where measured
  KsResult result = kKsOk;
  std::string note;  // why it was refused or failed, for test output
};

}  // namespace simcard
