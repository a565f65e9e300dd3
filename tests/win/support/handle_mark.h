#pragma once

#include <cstdint>

namespace test {

// The value of a freshly opened handle. Wine hands out the lowest free
// slot, so a handle leaked by the code under test shows as a higher value
// when this is compared before and after many repetitions.
std::uintptr_t FreshHandleValue();

// The highest value among many freshly opened handles. Wine hands out the
// lowest free slots, so each handle leaked by the code under test raises
// it, also when that code opened and closed handles in lower slots on the
// way (process creation does), which keeps a single fresh handle low.
std::uintptr_t HandleHighMark();

}  // namespace test
