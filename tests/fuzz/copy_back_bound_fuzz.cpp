// The copy-back bound of the buffer exports over any answer of the server.
// Input (little-endian, missing bytes read as 0): the returned length (4),
// the caller's buffer length on entry (4), whether a byte array came back
// (low bit of 1 byte), the array's element count (4).
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "acpi/copy_back_bound.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::uint32_t Le32(const std::uint8_t* data, std::size_t size, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;) value = (value << 8) | (at + i < size ? data[at + i] : 0);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::uint32_t returned = Le32(data, size, 0);
  const std::uint32_t entry = Le32(data, size, 4);
  const bool holdsByteArray = size > 8 && (data[8] & 1) != 0;
  const std::uint32_t elements = Le32(data, size, 9);

  const CopyBack bound = CopyBackBound(returned, entry, holdsByteArray, elements);
  if (!holdsByteArray) {
    Require(bound.bytes == 0 && !bound.complete, "without a byte array nothing is copied");
    return 0;
  }
  Require(bound.bytes <= returned, "never more than the server returned");
  Require(bound.bytes <= entry, "never more than the caller's buffer holds");
  Require(bound.bytes <= elements, "never more than the array holds");

  const bool fits = returned <= entry && returned <= elements;
  Require(bound.complete == fits, "complete exactly when the whole reply fits");
  // A reply that does not fit is cut to what fits, not dropped.
  Require(bound.bytes == (fits ? returned : std::min(entry, elements)),
          "copies the whole reply, or as much of it as fits");
  return 0;
}
