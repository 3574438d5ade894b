#include "device/i2c_request.h"

#include <cstring>

namespace {

I2CRequest MakeRequest(std::uint32_t flags, std::uint8_t device, const std::uint8_t* subaddress,
                       std::uint32_t subaddressLength) {
  // Alignment, reserved and unused fields are sent as zero; so is any padding
  // a wider build adds.
  I2CRequest request{};
  std::memset(&request, 0, sizeof(request));
  request.set = I2C_PROPSET;
  request.id = 0;
  request.flags = flags;
  request.device = device;
  // The record carries non-const pointers; the driver only reads through this one.
  request.subaddress = const_cast<std::uint8_t*>(subaddress);
  request.subaddressLength = subaddressLength;
  return request;
}

bool Send(KsControl& control, I2CRequest& request, I2CDataBlock& block) {
  std::uint32_t bytesReturned = 0;
  return control.KsProperty(&request, sizeof(request), &block, sizeof(block), &bytesReturned) ==
         kKsOk;
}

}  // namespace

bool I2CGet(KsControl& control, std::uint8_t device, const std::uint8_t* subaddress,
            std::uint32_t subaddressLength, std::uint8_t* buffer, std::uint32_t length) {
  I2CRequest request = MakeRequest(kKsPropertyTypeGet, device, subaddress, subaddressLength);
  request.readBuffer = buffer;
  request.readLength = length;
  I2CDataBlock block{};  // passed with its length, content unused for reads
  std::memset(&block, 0, sizeof(block));
  return Send(control, request, block);
}

bool I2CSet(KsControl& control, std::uint8_t device, const std::uint8_t* subaddress,
            std::uint32_t subaddressLength, const std::uint8_t* data, std::uint32_t length) {
  I2CRequest request = MakeRequest(kKsPropertyTypeSet, device, subaddress, subaddressLength);
  I2CDataBlock block{};
  std::memset(&block, 0, sizeof(block));
  block.data = const_cast<std::uint8_t*>(data);
  block.length = length;
  return Send(control, request, block);
}
