// The "iAcpiMbif" reply walk over any reply. Input: one byte choosing how
// many records to ask for (0xFF: no limit), the length the server returned
// (4 bytes, little-endian), then the bytes it wrote. As the feature query
// does, the walk is given no more than the returned length of what was
// written, in a block of exactly that size.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

#include "acpi/mbif_records.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::uint32_t Le(const std::uint8_t* at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | at[i];
  return value;
}

// The record layout walked plainly, with a 64-bit offset that cannot wrap:
// a record at `offset` is listed when its length field (offset + 2..3) lies
// within `size`, and carries a value when offset + 4..7 does too.
MbifReply ReferenceWalk(const std::uint8_t* bytes, std::uint64_t size, std::uint64_t maxRecords) {
  MbifReply expected;
  if (size < 8) return expected;
  expected.count = Le(bytes + 4, 4);
  const std::uint64_t wanted = std::min<std::uint64_t>(*expected.count, maxRecords);
  for (std::uint64_t offset = 8; expected.records.size() < wanted && offset + 4 <= size;) {
    MbifRecord record;
    record.offset = static_cast<std::size_t>(offset);
    record.length = static_cast<std::uint16_t>(Le(bytes + offset + 2, 2));
    if (offset + 8 <= size) record.value = Le(bytes + offset + 4, 4);
    expected.records.push_back(record);
    offset += 8 + std::max<std::uint64_t>(record.length, 4);
  }
  return expected;
}

bool SameRecords(const MbifReply& a, const MbifReply& b) {
  if (a.count != b.count || a.records.size() != b.records.size()) return false;
  for (std::size_t i = 0; i < a.records.size(); ++i) {
    const MbifRecord& x = a.records[i];
    const MbifRecord& y = b.records[i];
    if (x.offset != y.offset || x.length != y.length || x.value != y.value) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const std::size_t maxRecords = data[0] == 0xFF ? std::numeric_limits<std::size_t>::max() : data[0];
  const std::uint32_t returned = Le(data + 1, 4);
  const std::uint8_t* written = data + 5;
  const std::size_t trusted = std::min<std::size_t>(returned, size - 5);
  const ExactBytes reply(written, trusted);

  const MbifReply walked = ReadMbifReply(reply.data(), reply.size(), maxRecords);
  Require(SameRecords(walked, ReferenceWalk(written, trusted, maxRecords)),
          "the walk lists the records the layout gives");
  for (const MbifRecord& record : walked.records) {
    Require(record.offset + 4 <= trusted, "a listed record's length field lies within the reply");
    Require(record.value.has_value() == (record.offset + 8 <= trusted),
            "a value is reported exactly when it lies within the reply");
    if (record.value) Require(*record.value == Le(written + record.offset + 4, 4), "a value is the reply's bytes");
  }
  const std::size_t limit = std::min<std::size_t>(walked.count.value_or(0), maxRecords);
  Require(walked.records.size() <= limit, "no more records than announced and asked for");

  // The feature word: the third record's value, or nothing.
  const std::optional<std::uint32_t> feature = MbifFeatureValue(reply.data(), reply.size());
  const MbifReply firstThree = ReferenceWalk(written, trusted, 3);
  const std::optional<std::uint32_t> expected =
      firstThree.records.size() == 3 ? firstThree.records[2].value : std::nullopt;
  Require(feature == expected, "the feature word is the third record's value within the reply");
  return 0;
}
