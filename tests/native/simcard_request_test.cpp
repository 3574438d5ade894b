// The card's driver side refuses every request that is not laid out exactly.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>

#include "simcard_requests.h"

namespace {

using simcard::kBoardEepromAddress;

// A request as raw bytes, built from a well-formed one and then spoilt.
struct RawRequest {
  alignas(8) std::uint8_t record[sizeof(I2CRequest)];
  alignas(8) std::uint8_t block[sizeof(I2CDataBlock)];
  std::uint32_t propertyLength = sizeof(I2CRequest);
  std::uint32_t dataLength = sizeof(I2CDataBlock);
  bool withBytesReturned = true;

  template <typename T>
  void PutRecord(std::size_t offset, T value) {
    std::memcpy(record + offset, &value, sizeof(T));
  }
  template <typename T>
  void PutBlock(std::size_t offset, T value) {
    std::memcpy(block + offset, &value, sizeof(T));
  }
};

class RequestBuilder {
 public:
  RawRequest Get() {
    I2CRequest request = Base(kKsPropertyTypeGet);
    request.readBuffer = readBuffer;
    request.readLength = sizeof(readBuffer);
    return Pack(request, I2CDataBlock{});
  }
  RawRequest Set() {
    return Pack(Base(kKsPropertyTypeSet), I2CDataBlock{writeData, sizeof(writeData)});
  }

  std::uint8_t subaddress[2] = {0x05, 0x00};
  std::uint8_t readBuffer[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  std::uint8_t writeData[2] = {0x11, 0x22};

 private:
  I2CRequest Base(std::uint32_t flags) {
    I2CRequest request{};
    request.set = I2C_PROPSET;
    request.flags = flags;
    request.device = kBoardEepromAddress;
    request.subaddress = subaddress;
    request.subaddressLength = 1;
    return request;
  }
  static RawRequest Pack(const I2CRequest& request, const I2CDataBlock& block) {
    RawRequest raw;
    std::memset(raw.record, 0, sizeof(raw.record));  // and any padding
    std::memset(raw.block, 0, sizeof(raw.block));
    raw.PutRecord(offsetof(I2CRequest, set), request.set);
    raw.PutRecord(offsetof(I2CRequest, id), request.id);
    raw.PutRecord(offsetof(I2CRequest, flags), request.flags);
    raw.PutRecord(offsetof(I2CRequest, device), request.device);
    raw.PutRecord(offsetof(I2CRequest, subaddress), request.subaddress);
    raw.PutRecord(offsetof(I2CRequest, subaddressLength), request.subaddressLength);
    raw.PutRecord(offsetof(I2CRequest, readBuffer), request.readBuffer);
    raw.PutRecord(offsetof(I2CRequest, readLength), request.readLength);
    raw.PutBlock(offsetof(I2CDataBlock, data), block.data);
    raw.PutBlock(offsetof(I2CDataBlock, length), block.length);
    return raw;
  }
};

KsResult Send(simcard::SimCard& card, RawRequest& raw) {
  std::uint32_t bytesReturned = 777;
  return card.KsProperty(raw.record, raw.propertyLength, raw.block, raw.dataLength,
                         raw.withBytesReturned ? &bytesReturned : nullptr);
}

TEST(SimCardRequest, CarriesOutWhatI2CGetAndI2CSetSend) {
  CardBench bench;
  CardLine line(bench);
  ASSERT_TRUE(line.Set(kBoardEepromAddress, {0x05}, {0x5A, 0x5B}));
  bench.clock.Advance(simcard::kWriteCycleMicros);
  EXPECT_EQ(line.Get(kBoardEepromAddress, {0x04, 0x00}, 4), (Bytes{0xFF, 0x5A, 0x5B, 0xFF}));

  const auto& log = bench.card.Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(log[0].wellFormed);
  EXPECT_EQ(log[0].kind, simcard::TransactionKind::Set);
  EXPECT_EQ(log[0].device, kBoardEepromAddress);
  EXPECT_EQ(log[0].subaddress, Bytes{0x05});
  EXPECT_EQ(log[0].length, 2u);
  EXPECT_EQ(log[0].data, (Bytes{0x5A, 0x5B}));
  EXPECT_EQ(log[1].kind, simcard::TransactionKind::Get);
  EXPECT_EQ(log[1].subaddress, (Bytes{0x04, 0x00}));
  EXPECT_EQ(log[1].data, (Bytes{0xFF, 0x5A, 0x5B, 0xFF}));
  EXPECT_EQ(log[1].timeMicros, simcard::kWriteCycleMicros);
  EXPECT_EQ(log[1].result, kKsOk);
}

TEST(SimCardRequest, WritesZeroToBytesReturnedWhateverItHeld) {
  CardBench bench;
  RequestBuilder builder;
  RawRequest raw = builder.Get();
  std::uint32_t bytesReturned = 777;
  EXPECT_EQ(bench.card.KsProperty(raw.record, raw.propertyLength, raw.block, raw.dataLength,
                                  &bytesReturned),
            kKsOk);
  EXPECT_EQ(bytesReturned, 0u);
}

struct Spoiler {
  std::string name;
  bool isGet;
  std::function<void(RawRequest&)> spoil;
};

TEST(SimCardRequest, RefusesAndLogsEveryMalformedRequest) {
  const std::vector<Spoiler> spoilers = {
      {"foreign property set", true, [](RawRequest& r) { r.record[15] ^= 1; }},
      {"property id 1", true, [](RawRequest& r) { r.PutRecord<std::uint32_t>(16, 1); }},
      {"flags 0", true, [](RawRequest& r) { r.PutRecord<std::uint32_t>(20, 0); }},
      {"flags GET|SET", false, [](RawRequest& r) { r.PutRecord<std::uint32_t>(20, 3); }},
      {"alignment byte", true,
       [](RawRequest& r) { r.record[offsetof(I2CRequest, device) + 2] = 1; }},
      {"byte before the subaddress pointer", true,
       [](RawRequest& r) { r.record[offsetof(I2CRequest, subaddress) - 1] = 1; }},
      {"reserved", false,
       [](RawRequest& r) { r.PutRecord<std::uint32_t>(offsetof(I2CRequest, reserved), 1); }},
      {"subaddress length 0", true,
       [](RawRequest& r) {
         r.PutRecord<std::uint32_t>(offsetof(I2CRequest, subaddressLength), 0);
       }},
      {"subaddress length 3", false,
       [](RawRequest& r) {
         r.PutRecord<std::uint32_t>(offsetof(I2CRequest, subaddressLength), 3);
       }},
      {"null subaddress", true,
       [](RawRequest& r) { r.PutRecord<void*>(offsetof(I2CRequest, subaddress), nullptr); }},
      {"property length short by one", true, [](RawRequest& r) { r.propertyLength -= 1; }},
      {"data length long by one", false, [](RawRequest& r) { r.dataLength += 1; }},
      {"read length 0", true,
       [](RawRequest& r) { r.PutRecord<std::uint32_t>(offsetof(I2CRequest, readLength), 0); }},
      {"null read buffer", true,
       [](RawRequest& r) { r.PutRecord<void*>(offsetof(I2CRequest, readBuffer), nullptr); }},
      {"read with a data block", true, [](RawRequest& r) { r.block[0] = 1; }},
      {"write with a read length", false,
       [](RawRequest& r) { r.PutRecord<std::uint32_t>(offsetof(I2CRequest, readLength), 4); }},
      {"write count 0", false,
       [](RawRequest& r) { r.PutBlock<std::uint32_t>(offsetof(I2CDataBlock, length), 0); }},
      {"null write data", false, [](RawRequest& r) { r.PutBlock<void*>(0, nullptr); }},
      {"last byte of the data block", false,
       [](RawRequest& r) { r.block[sizeof(I2CDataBlock) - 1] = 1; }},
      {"no bytesReturned", false, [](RawRequest& r) { r.withBytesReturned = false; }},
  };
  for (const Spoiler& spoiler : spoilers) {
    SCOPED_TRACE(spoiler.name);
    CardBench bench;
    RequestBuilder builder;
    RawRequest raw = spoiler.isGet ? builder.Get() : builder.Set();
    ASSERT_EQ(Send(bench.card, raw), kKsOk) << "the unspoilt request is carried out";
    bench.clock.Advance(simcard::kWriteCycleMicros);
    const Bytes board = bench.card.BoardEeprom();
    builder.readBuffer[0] = 0xEE;

    spoiler.spoil(raw);
    EXPECT_EQ(Send(bench.card, raw), kKsFail);
    ASSERT_EQ(bench.card.Log().size(), 2u);
    EXPECT_FALSE(bench.card.Log()[1].wellFormed);
    EXPECT_EQ(bench.card.Log()[1].result, kKsFail);
    EXPECT_FALSE(bench.card.Log()[1].note.empty());
    EXPECT_EQ(bench.card.BoardEeprom(), board);
    EXPECT_EQ(builder.readBuffer[0], 0xEE);
  }
}

TEST(SimCardRequest, RefusesNullRecordAndNullBlock) {
  CardBench bench;
  RequestBuilder builder;
  RawRequest raw = builder.Get();
  std::uint32_t bytesReturned = 0;
  EXPECT_EQ(
      bench.card.KsProperty(nullptr, raw.propertyLength, raw.block, raw.dataLength, &bytesReturned),
      kKsFail);
  EXPECT_EQ(bench.card.KsProperty(raw.record, raw.propertyLength, nullptr, raw.dataLength,
                                  &bytesReturned),
            kKsFail);
  ASSERT_EQ(bench.card.Log().size(), 2u);
  EXPECT_FALSE(bench.card.Log()[0].wellFormed);
  EXPECT_FALSE(bench.card.Log()[1].wellFormed);
}

}  // namespace
