// Fuzz target for the "iAcpiMbif" reply walk: any bytes, any length. The
// sanitizers report a read outside the reply; the checks below report a
// record or value that does not lie inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "acpi/mbif_feature_value.h"
#include "acpi/mbif_records.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const MbifReply reply = ReadMbifReply(data, size, 1000);
  for (const MbifRecord& record : reply.records) {
    if (record.offset + 4 > size) std::abort();
    if (record.value && record.offset + 8 > size) std::abort();
  }
  const auto value = MbifFeatureValue(data, size);
  if (value && (reply.records.size() < 3 || reply.records[2].value != value)) std::abort();
  return 0;
}
