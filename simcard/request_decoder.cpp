#include "simcard/request_decoder.h"

#include <array>
#include <cstddef>
#include <cstring>

namespace simcard {
namespace {

// {FBB1C466-BE03-470F-9A8F-A2AA0FA2C0EE} in its in-memory layout.
constexpr std::array<std::uint8_t, 16> kI2cPropertySet = {
    0x66, 0xC4, 0xB1, 0xFB, 0x03, 0xBE, 0x0F, 0x47, 0x9A, 0x8F, 0xA2, 0xAA, 0x0F, 0xA2, 0xC0, 0xEE};

constexpr std::uint32_t kFlagGet = 1;
constexpr std::uint32_t kFlagSet = 2;

struct ByteRange {
  std::size_t offset;
  std::size_t size;
};

// Where the driver finds each field. Ranges that carry no value must be zero.
struct RecordLayout {
  std::uint32_t requestSize;
  std::size_t set, id, flags, device, subaddress, subaddressLength, readBuffer, readLength;
  std::array<ByteRange, 4> mustBeZero;  // alignment, padding, reserved
  std::uint32_t blockSize;
  std::size_t blockData, blockLength;
  ByteRange blockPadding;  // size 0 where there is none
};

constexpr RecordLayout kLayout32 = {.requestSize = 48,
                                    .set = 0,
                                    .id = 16,
                                    .flags = 20,
                                    .device = 24,
                                    .subaddress = 28,
                                    .subaddressLength = 32,
                                    .readBuffer = 36,
                                    .readLength = 40,
                                    .mustBeZero = {{{25, 3}, {44, 4}}},
                                    .blockSize = 8,
                                    .blockData = 0,
                                    .blockLength = 4,
                                    .blockPadding = {8, 0}};

// The same fields with natural alignment for 8-byte pointers.
constexpr RecordLayout kLayout64 = {.requestSize = 64,
                                    .set = 0,
                                    .id = 16,
                                    .flags = 20,
                                    .device = 24,
                                    .subaddress = 32,
                                    .subaddressLength = 40,
                                    .readBuffer = 48,
                                    .readLength = 56,
                                    .mustBeZero = {{{25, 3}, {28, 4}, {44, 4}, {60, 4}}},
                                    .blockSize = 16,
                                    .blockData = 0,
                                    .blockLength = 8,
                                    .blockPadding = {12, 4}};

constexpr const RecordLayout& Layout() {
  return sizeof(void*) == 8 ? kLayout64 : kLayout32;
}

class RecordReader {
 public:
  explicit RecordReader(const void* record) : bytes_(static_cast<const std::uint8_t*>(record)) {}

  std::uint32_t U32(std::size_t offset) const {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes_ + offset, sizeof(value));
    return value;
  }
  std::uint8_t U8(std::size_t offset) const { return bytes_[offset]; }
  void* Pointer(std::size_t offset) const {
    void* value = nullptr;
    std::memcpy(&value, bytes_ + offset, sizeof(value));
    return value;
  }
  bool IsZero(ByteRange range) const {
    for (std::size_t i = 0; i < range.size; ++i) {
      if (bytes_[range.offset + i] != 0) return false;
    }
    return true;
  }
  bool Matches(std::size_t offset, const std::array<std::uint8_t, 16>& expected) const {
    return std::memcmp(bytes_ + offset, expected.data(), expected.size()) == 0;
  }

 private:
  const std::uint8_t* bytes_;
};

std::vector<std::uint8_t> CopyBytes(const void* from, std::uint32_t count) {
  const auto* begin = static_cast<const std::uint8_t*>(from);
  return {begin, begin + count};
}

std::string DecodeSubaddress(const RecordReader& record, const RecordLayout& layout,
                             DecodedRequest& out) {
  const std::uint32_t length = record.U32(layout.subaddressLength);
  if (length != 1 && length != 2) return "subaddress length " + std::to_string(length);
  const void* subaddress = record.Pointer(layout.subaddress);
  if (subaddress == nullptr) return "subaddress pointer is null";
  out.subaddress = CopyBytes(subaddress, length);
  return {};
}

std::string DecodeGet(const RecordReader& record, const RecordReader& block,
                      const RecordLayout& layout, DecodedRequest& out) {
  out.length = record.U32(layout.readLength);
  if (!block.IsZero({0, layout.blockSize})) return "data block of a read is not zero";
  if (out.length == 0) return "read length 0";
  if (out.length > kMaxTransferLength) return "read length " + std::to_string(out.length);
  out.readBuffer = static_cast<std::uint8_t*>(record.Pointer(layout.readBuffer));
  if (out.readBuffer == nullptr) return "read buffer pointer is null";
  return {};
}

std::string DecodeSet(const RecordReader& record, const RecordReader& block,
                      const RecordLayout& layout, DecodedRequest& out) {
  out.length = block.U32(layout.blockLength);
  if (record.Pointer(layout.readBuffer) != nullptr || record.U32(layout.readLength) != 0) {
    return "read buffer fields of a write are not zero";
  }
  if (!block.IsZero(layout.blockPadding)) return "nonzero padding in the data block";
  if (out.length == 0) return "write count 0";
  if (out.length > kMaxTransferLength) return "write count " + std::to_string(out.length);
  const void* data = block.Pointer(layout.blockData);
  if (data == nullptr) return "write data pointer is null";
  out.writeData = CopyBytes(data, out.length);
  return {};
}

std::string SizeError(const char* what, std::uint32_t length, std::uint32_t expected) {
  return std::string(what) + " length " + std::to_string(length) + ", expected " +
         std::to_string(expected);
}

// Fills out field by field; stops at the first fault and names it.
std::string Decode(const void* property, std::uint32_t propertyLength, const void* data,
                   std::uint32_t dataLength, DecodedRequest& out) {
  const RecordLayout& layout = Layout();
  if (property == nullptr) return "property is null";
  if (propertyLength != layout.requestSize) {
    return SizeError("property", propertyLength, layout.requestSize);
  }
  if (data == nullptr) return "data block is null";
  if (dataLength != layout.blockSize) return SizeError("data", dataLength, layout.blockSize);

  const RecordReader record(property);
  out.device = record.U8(layout.device);
  if (!record.Matches(layout.set, kI2cPropertySet)) return "unknown property set";
  if (record.U32(layout.id) != 0) return "property id " + std::to_string(record.U32(layout.id));
  const std::uint32_t flags = record.U32(layout.flags);
  if (flags != kFlagGet && flags != kFlagSet) return "flags " + std::to_string(flags);
  out.kind = flags == kFlagGet ? TransactionKind::Get : TransactionKind::Set;
  for (const ByteRange& range : layout.mustBeZero) {
    if (!record.IsZero(range)) {
      return "nonzero alignment or reserved bytes at offset " + std::to_string(range.offset);
    }
  }
  if (std::string error = DecodeSubaddress(record, layout, out); !error.empty()) return error;
  const RecordReader block(data);
  return out.kind == TransactionKind::Get ? DecodeGet(record, block, layout, out)
                                          : DecodeSet(record, block, layout, out);
}

}  // namespace

std::uint32_t RequestRecordSize() {
  return Layout().requestSize;
}
std::uint32_t DataBlockSize() {
  return Layout().blockSize;
}

DecodeResult DecodeRequest(const void* property, std::uint32_t propertyLength, const void* data,
                           std::uint32_t dataLength) {
  DecodeResult result;
  result.error = Decode(property, propertyLength, data, dataLength, result.request);
  return result;
}

}  // namespace simcard
