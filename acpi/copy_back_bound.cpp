#include "acpi/copy_back_bound.h"

#include <algorithm>

CopyBack CopyBackBound(std::uint32_t returnedLength, std::uint32_t entryLength, bool holdsByteArray,
                       std::uint32_t arrayElements) {
  if (!holdsByteArray) return {0, false};
  const std::uint32_t fits = std::min(entryLength, arrayElements);
  if (returnedLength <= fits) return {returnedLength, true};
  return {fits, false};
}
