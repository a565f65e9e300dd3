// The version order over any three strings: a total order that agrees with
// comparing the bytes as signed chars, the shorter of two first when one is
// a prefix of the other.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "setup/version_order.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

int SignedByteOrder(std::string_view a, std::string_view b) {
  const auto below = [](char x, char y) { return static_cast<signed char>(x) < static_cast<signed char>(y); };
  if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), below)) return -1;
  if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), below)) return 1;
  return 0;
}

void CheckPair(std::string_view a, std::string_view b) {
  const int order = Sign(CompareVersions(a, b));
  Require(order == SignedByteOrder(a, b), "agrees with a byte-wise comparison of signed chars");
  Require(order == -Sign(CompareVersions(b, a)), "antisymmetric");
  Require((order == 0) == (a == b), "equal only for equal strings");
  Require(VersionSortsBefore(a, b) == (order < 0), "sorts before exactly when it compares below");
}

void CheckTransitive(std::string_view a, std::string_view b, std::string_view c) {
  const int ab = CompareVersions(a, b);
  const int bc = CompareVersions(b, c);
  const int ac = CompareVersions(a, c);
  if (ab <= 0 && bc <= 0) Require(ac <= 0, "transitive");
  if (ab < 0 && bc <= 0) Require(ac < 0, "transitive, strictly");
  if (ab <= 0 && bc < 0) Require(ac < 0, "transitive, strictly");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string first = input.ConsumeRandomLengthString();
  const std::string second = input.ConsumeRandomLengthString();
  const std::string third = input.ConsumeRemainingBytesAsString();
  // Blocks of exactly each string's size: no terminating NUL to read by mistake.
  const ExactBytes a(first.data(), first.size());
  const ExactBytes b(second.data(), second.size());
  const ExactBytes c(third.data(), third.size());

  const std::string_view all[] = {a.view(), b.view(), c.view()};
  for (std::string_view x : all) {
    for (std::string_view y : all) CheckPair(x, y);
    // Every proper prefix sorts first.
    if (!x.empty()) Require(CompareVersions(x.substr(0, x.size() - 1), x) < 0, "a proper prefix sorts first");
  }
  const int orders[][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  for (const auto& o : orders) CheckTransitive(all[o[0]], all[o[1]], all[o[2]]);
  return 0;
}
