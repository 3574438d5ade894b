#pragma once

#include <cstddef>
#include <cstdint>

#include "common/i2c_control.h"

// The record of the driver's private I2C property set, laid out as the driver
// reads it. In the 32-bit product it is 48 bytes with the data block 8; a
// 64-bit build keeps the same fields with natural alignment (pointers of 8
// bytes, so 64 and 16 bytes) and passes those real sizes.

struct PropertySetId {  // in-memory layout of a GUID
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};

// {FBB1C466-BE03-470F-9A8F-A2AA0FA2C0EE}
inline constexpr PropertySetId I2C_PROPSET = {
    0xFBB1C466, 0xBE03, 0x470F, {0x9A, 0x8F, 0xA2, 0xAA, 0x0F, 0xA2, 0xC0, 0xEE}};

inline constexpr std::uint32_t kKsPropertyTypeGet = 1;  // KSPROPERTY_TYPE_GET
inline constexpr std::uint32_t kKsPropertyTypeSet = 2;  // KSPROPERTY_TYPE_SET

struct I2CRequest {
  PropertySetId set;  // KSPROPERTY Set
  std::uint32_t id;
  std::uint32_t flags;
  std::uint8_t device;  // 8-bit write-form address
  std::uint8_t alignment[3];
  std::uint8_t* subaddress;
  std::uint32_t subaddressLength;
  std::uint8_t* readBuffer;
  std::uint32_t readLength;
  std::uint32_t reserved;
};

struct I2CDataBlock {
  std::uint8_t* data;
  std::uint32_t length;
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(I2CRequest) == 48);
static_assert(offsetof(I2CRequest, set) == 0);
static_assert(offsetof(I2CRequest, id) == 16);
static_assert(offsetof(I2CRequest, flags) == 20);
static_assert(offsetof(I2CRequest, device) == 24);
static_assert(offsetof(I2CRequest, alignment) == 25);
static_assert(offsetof(I2CRequest, subaddress) == 28);
static_assert(offsetof(I2CRequest, subaddressLength) == 32);
static_assert(offsetof(I2CRequest, readBuffer) == 36);
static_assert(offsetof(I2CRequest, readLength) == 40);
static_assert(offsetof(I2CRequest, reserved) == 44);
static_assert(sizeof(I2CDataBlock) == 8);
static_assert(offsetof(I2CDataBlock, data) == 0);
static_assert(offsetof(I2CDataBlock, length) == 4);
#endif

// One read transaction: length bytes from device after the subaddress into
// buffer. Success only when the driver answers exactly S_OK.
bool I2CGet(KsControl& control, std::uint8_t device, const std::uint8_t* subaddress,
            std::uint32_t subaddressLength, std::uint8_t* buffer, std::uint32_t length);

// One write transaction: the subaddress followed by length data bytes.
bool I2CSet(KsControl& control, std::uint8_t device, const std::uint8_t* subaddress,
            std::uint32_t subaddressLength, const std::uint8_t* data, std::uint32_t length);
