#include "setup/version_order.h"

#include <cstddef>

int CompareVersions(std::string_view a, std::string_view b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    const int left = static_cast<signed char>(a[i]);
    const int right = static_cast<signed char>(b[i]);
    if (left != right) return left < right ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool VersionSortsBefore(std::string_view installed, std::string_view target) {
  return CompareVersions(installed, target) < 0;
}
