#include "device/i2c_request.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Keeps a copy of what each KsProperty call was handed and answers with a
// chosen result.
class RecordingControl final : public KsControl {
 public:
  struct Call {
    std::vector<std::uint8_t> record;
    std::vector<std::uint8_t> block;
    std::uint32_t propertyLength;
    std::uint32_t dataLength;
    std::uint32_t bytesReturnedOnEntry;
  };

  KsResult KsProperty(void* property, std::uint32_t propertyLength, void* data,
                      std::uint32_t dataLength, std::uint32_t* bytesReturned) override {
    const auto* p = static_cast<const std::uint8_t*>(property);
    const auto* d = static_cast<const std::uint8_t*>(data);
    calls.push_back(
        {{p, p + propertyLength}, {d, d + dataLength}, propertyLength, dataLength, *bytesReturned});
    *bytesReturned = 12345;  // must not matter
    return answer;
  }

  std::vector<Call> calls;
  KsResult answer = kKsOk;
};

template <typename T>
T At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

const std::uint8_t kPropertySetBytes[16] = {0x66, 0xC4, 0xB1, 0xFB, 0x03, 0xBE, 0x0F, 0x47,
                                            0x9A, 0x8F, 0xA2, 0xAA, 0x0F, 0xA2, 0xC0, 0xEE};

TEST(I2CRequest, GetSendsOneRecordWithTheTablesFields) {
  RecordingControl control;
  const std::uint8_t subaddress[2] = {0x08, 0x00};
  std::uint8_t buffer[8] = {};
  ASSERT_TRUE(I2CGet(control, 0xA0, subaddress, 2, buffer, 8));

  ASSERT_EQ(control.calls.size(), 1u);
  const auto& call = control.calls[0];
  EXPECT_EQ(call.propertyLength, sizeof(I2CRequest));
  EXPECT_EQ(call.dataLength, sizeof(I2CDataBlock));
  EXPECT_EQ(call.bytesReturnedOnEntry, 0u);
  EXPECT_EQ(0, std::memcmp(call.record.data(), kPropertySetBytes, 16));
  EXPECT_EQ(At<std::uint32_t>(call.record, offsetof(I2CRequest, id)), 0u);
  EXPECT_EQ(At<std::uint32_t>(call.record, offsetof(I2CRequest, flags)), 1u);
  EXPECT_EQ(call.record[offsetof(I2CRequest, device)], 0xA0);
  EXPECT_EQ(At<const std::uint8_t*>(call.record, offsetof(I2CRequest, subaddress)), subaddress);
  EXPECT_EQ(At<std::uint32_t>(call.record, offsetof(I2CRequest, subaddressLength)), 2u);
  EXPECT_EQ(At<std::uint8_t*>(call.record, offsetof(I2CRequest, readBuffer)), buffer);
  EXPECT_EQ(At<std::uint32_t>(call.record, offsetof(I2CRequest, readLength)), 8u);
  EXPECT_EQ(At<std::uint32_t>(call.record, offsetof(I2CRequest, reserved)), 0u);
  for (std::uint8_t b : call.block) EXPECT_EQ(b, 0) << "a read's data block is zero";
}

TEST(I2CRequest, SetCarriesItsDataInTheBlockAndZeroesTheReadFields) {
  RecordingControl control;
  const std::uint8_t subaddress[2] = {0x05, 0x00};
  const std::uint8_t data = 0x5A;
  ASSERT_TRUE(I2CSet(control, 0xA0, subaddress, 1, &data, 1));

  const auto& call = control.calls.at(0);
  EXPECT_EQ(At<std::uint32_t>(call.record, offsetof(I2CRequest, flags)), 2u);
  EXPECT_EQ(At<const std::uint8_t*>(call.record, offsetof(I2CRequest, subaddress)), subaddress);
  EXPECT_EQ(At<std::uint32_t>(call.record, offsetof(I2CRequest, subaddressLength)), 1u);
  EXPECT_EQ(At<std::uint8_t*>(call.record, offsetof(I2CRequest, readBuffer)), nullptr);
  EXPECT_EQ(At<std::uint32_t>(call.record, offsetof(I2CRequest, readLength)), 0u);
  EXPECT_EQ(At<const std::uint8_t*>(call.block, offsetof(I2CDataBlock, data)), &data);
  EXPECT_EQ(At<std::uint32_t>(call.block, offsetof(I2CDataBlock, length)), 1u);
  // Everything between the fields (alignment, padding of wider builds) is zero.
  for (std::size_t i = offsetof(I2CRequest, device) + 1; i < offsetof(I2CRequest, subaddress);
       ++i) {
    EXPECT_EQ(call.record[i], 0) << "byte " << i;
  }
}

TEST(I2CRequest, OnlyExactlySOkIsSuccess) {
  RecordingControl control;
  const std::uint8_t subaddress = 0x3C;
  std::uint8_t byte = 0;
  for (KsResult answer : {KsResult{1}, KsResult{0x7FFFFFFF}, kKsFail}) {
    control.answer = answer;
    EXPECT_FALSE(I2CGet(control, 0x10, &subaddress, 1, &byte, 1)) << answer;
    EXPECT_FALSE(I2CSet(control, 0x10, &subaddress, 1, &byte, 1)) << answer;
  }
  EXPECT_EQ(control.calls.size(), 6u) << "one request per operation, no retry";
}

}  // namespace
