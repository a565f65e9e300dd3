#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

// Ends the run when a property does not hold; libFuzzer saves the input.
inline void Require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property violated: %s\n", property);
  std::abort();
}

// A heap block holding exactly the given bytes and nothing after them, so
// that AddressSanitizer reports a read of even one byte beyond.
class ExactBytes {
 public:
  ExactBytes(const void* bytes, std::size_t size) : bytes_(new char[size]), size_(size) {
    if (size != 0) std::memcpy(bytes_.get(), bytes, size);
  }
  const unsigned char* data() const { return reinterpret_cast<const unsigned char*>(bytes_.get()); }
  std::size_t size() const { return size_; }
  std::string_view view() const { return {bytes_.get(), size_}; }

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_;
};
