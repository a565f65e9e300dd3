#include "acpi/mbif_records.h"

#include <algorithm>

namespace {

std::uint16_t Read16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | (at[1] << 8)); }

std::uint32_t Read32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
         (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

constexpr std::size_t kCountOffset = 4;
constexpr std::size_t kFirstRecord = 8;
constexpr std::size_t kHeaderSize = 8;

}  // namespace

MbifReply ReadMbifReply(const std::uint8_t* reply, std::size_t size, std::size_t maxRecords) {
  MbifReply result;
  if (reply == nullptr || size < kCountOffset + 4) return result;
  result.count = Read32(reply + kCountOffset);

  const std::size_t wanted = std::min<std::size_t>(*result.count, maxRecords);
  std::size_t offset = kFirstRecord;
  // Each step advances by at most 8 + 65535 bytes and stops once the length
  // field leaves the reply, so the offset cannot wrap.
  while (result.records.size() < wanted && offset <= size && size - offset >= 4) {
    MbifRecord record;
    record.offset = offset;
    record.length = Read16(reply + offset + 2);
    if (size - offset >= kHeaderSize) record.value = Read32(reply + offset + 4);
    result.records.push_back(record);
    offset += kHeaderSize + std::max<std::size_t>(record.length, 4);
  }
  return result;
}

std::optional<std::uint32_t> MbifFeatureValue(const std::uint8_t* reply, std::size_t size) {
  constexpr std::size_t kFeatureRecord = 3;
  const MbifReply parsed = ReadMbifReply(reply, size, kFeatureRecord);
  if (parsed.records.size() < kFeatureRecord) return std::nullopt;
  return parsed.records[kFeatureRecord - 1].value;
}
