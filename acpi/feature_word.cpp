#include "acpi/feature_word.h"

#include <algorithm>
#include <array>
#include <optional>

#include "acpi/acpi_exports.h"
#include "acpi/mbif_records.h"

bool FeatureWord::Query() {
  constexpr ULONG kReplySize = 0x1000;
  std::array<BYTE, kReplySize> reply{};
  ULONG length = kReplySize;
  if (AcpiMbif(reply.data(), &length) == 0) return false;

  const std::optional<std::uint32_t> value = MbifFeatureValue(reply.data(), std::min<ULONG>(length, kReplySize));
  if (value) word_ = *value;
  return true;
}
