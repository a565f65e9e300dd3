#pragma once

// Time as the benchmark drivers measure it: the performance counter, in
// seconds, and the median of a set of runs (these machines are noisy).

#include <algorithm>
#include <vector>

#include "base/win.h"

inline double SecondsNow() {
  LARGE_INTEGER count, frequency;
  ::QueryPerformanceCounter(&count);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}
