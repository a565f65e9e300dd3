#include "acpi/mbif_feature_value.h"

#include "acpi/mbif_records.h"

std::optional<std::uint32_t> MbifFeatureValue(const std::uint8_t* reply, std::size_t size) {
  constexpr std::size_t kFeatureRecord = 3;
  const MbifReply parsed = ReadMbifReply(reply, size, kFeatureRecord);
  if (parsed.records.size() < kFeatureRecord) return std::nullopt;
  return parsed.records[kFeatureRecord - 1].value;
}
