#pragma once

// The driver's reading of the I2C property request: byte offsets of the
// record as the driver lays it out, independent of the sender's own struct.

#include <cstdint>
#include <string>
#include <vector>

#include "simcard/transaction.h"

namespace simcard {

// Longest transfer the driver carries out; a larger count is taken for garbage.
inline constexpr std::uint32_t kMaxTransferLength = 65536;

struct DecodedRequest {
  TransactionKind kind = TransactionKind::Get;
  std::uint8_t device = 0;
  std::vector<std::uint8_t> subaddress;
  std::uint32_t length = 0;             // bytes to read or to write
  std::uint8_t* readBuffer = nullptr;   // Get: where the read bytes go
  std::vector<std::uint8_t> writeData;  // Set: copied from the data block
};

struct DecodeResult {
  DecodedRequest request;  // as far as it could be read
  std::string error;       // empty when the request is well formed
};

// Sizes of the record and its data block in this process (48 and 8 with
// 32-bit pointers, 64 and 16 with 64-bit ones).
std::uint32_t RequestRecordSize();
std::uint32_t DataBlockSize();

DecodeResult DecodeRequest(const void* property, std::uint32_t propertyLength, const void* data,
                           std::uint32_t dataLength);

}  // namespace simcard
