#include "support/handle_mark.h"

#include <vector>

#include "base/unique_handle.h"

namespace test {

std::uintptr_t FreshHandleValue() {
  ScopedHandle event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  return reinterpret_cast<std::uintptr_t>(event.Get());
}

std::uintptr_t HandleHighMark() {
  std::vector<ScopedHandle> events;
  std::uintptr_t highest = 0;
  for (int i = 0; i < 64; ++i) {
    events.emplace_back(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const auto value = reinterpret_cast<std::uintptr_t>(events.back().Get());
    if (value > highest) highest = value;
  }
  return highest;
}

}  // namespace test
