// The I2C record as the 32-bit build hands it to the driver, byte by byte.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "device/i2c_request.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Copies what each request carries at the moment it is sent.
class RecordingControl final : public KsControl {
 public:
  KsResult KsProperty(void* property, std::uint32_t propertyLength, void* data,
                      std::uint32_t dataLength, std::uint32_t* bytesReturned) override {
    propertyBytes.assign(static_cast<std::uint8_t*>(property),
                         static_cast<std::uint8_t*>(property) + propertyLength);
    dataBytes.assign(static_cast<std::uint8_t*>(data),
                     static_cast<std::uint8_t*>(data) + dataLength);
    bytesReturnedGiven = bytesReturned != nullptr;
    if (bytesReturned != nullptr) bytesReturnedBefore = *bytesReturned;
    return kKsOk;
  }

  Bytes propertyBytes;
  Bytes dataBytes;
  bool bytesReturnedGiven = false;
  std::uint32_t bytesReturnedBefore = 0xFFFFFFFF;
};

void PutLittleEndian(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t AddressOf(const void* pointer) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

// The record with the property set, id 0 and the given flags; the rest zero.
Bytes ExpectedRecord(std::uint32_t flags) {
  Bytes record(48, 0);
  const std::uint8_t set[16] = {0x66, 0xC4, 0xB1, 0xFB, 0x03, 0xBE, 0x0F, 0x47,
                                0x9A, 0x8F, 0xA2, 0xAA, 0x0F, 0xA2, 0xC0, 0xEE};
  std::memcpy(record.data(), set, sizeof(set));
  PutLittleEndian(record, 20, flags);
  return record;
}

TEST(I2CRecord, AReadSendsTheFortyEightByteRecordAndAnEmptyDataBlock) {
  static_assert(sizeof(void*) == 4, "the product is a 32-bit program");
  RecordingControl control;
  const std::uint8_t subaddress[2] = {0x48, 0x01};
  std::uint8_t buffer[8] = {};
  ASSERT_TRUE(I2CGet(control, 0xA0, subaddress, 2, buffer, 8));

  Bytes expected = ExpectedRecord(1);
  expected[24] = 0xA0;
  PutLittleEndian(expected, 28, AddressOf(subaddress));
  PutLittleEndian(expected, 32, 2);
  PutLittleEndian(expected, 36, AddressOf(buffer));
  PutLittleEndian(expected, 40, 8);
  EXPECT_EQ(control.propertyBytes, expected);
  EXPECT_EQ(control.dataBytes, Bytes(8, 0));
  EXPECT_TRUE(control.bytesReturnedGiven);
  EXPECT_EQ(control.bytesReturnedBefore, 0u);
}

TEST(I2CRecord, AWriteNamesItsDataInTheBlockAndLeavesTheReadFieldsZero) {
  RecordingControl control;
  const std::uint8_t subaddress[1] = {0x3C};
  const std::uint8_t data[6] = {0x3F, 0xF7, 0x12, 0x34, 0xFF, 0xC0};
  ASSERT_TRUE(I2CSet(control, 0x10, subaddress, 1, data, 6));

  Bytes expected = ExpectedRecord(2);
  expected[24] = 0x10;
  PutLittleEndian(expected, 28, AddressOf(subaddress));
  PutLittleEndian(expected, 32, 1);
  EXPECT_EQ(control.propertyBytes, expected);
  Bytes block(8, 0);
  PutLittleEndian(block, 0, AddressOf(data));
  PutLittleEndian(block, 4, 6);
  EXPECT_EQ(control.dataBytes, block);
}

}  // namespace
