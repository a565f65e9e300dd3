#include "config/platform_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

// Behaves like GetModuleFileNameA of a process whose executable path is
// `path`: copies what fits and, when cut, returns the buffer size without
// ending the text (as older Windows and Wine do). Records every buffer size.
class FakeModuleFileName {
 public:
  explicit FakeModuleFileName(std::string path) : path_(std::move(path)) {}

  std::uint32_t operator()(char* buffer, std::uint32_t size) {
    sizes.push_back(size);
    const std::uint32_t length = static_cast<std::uint32_t>(path_.size());
    if (length < size) {
      std::memcpy(buffer, path_.c_str(), length + 1);
      return length;
    }
    std::memcpy(buffer, path_.data(), size);
    return size;
  }

  std::vector<std::uint32_t> sizes;

 private:
  std::string path_;
};

std::string PathOfLength(std::size_t length) {
  std::string path = "C:\\" + std::string(length - 3 - 10, 'd') + "\\setup.exe";
  EXPECT_EQ(path.size(), length);
  return path;
}

struct GrowthCase {
  std::size_t length;
  std::vector<std::uint32_t> sizes;
};

void PrintTo(const GrowthCase& c, std::ostream* out) { *out << c.length << " characters"; }

class ReadModuleFileNameTest : public testing::TestWithParam<GrowthCase> {};

TEST_P(ReadModuleFileNameTest, DoublesTheBufferUntilThePathFits) {
  const std::string path = PathOfLength(GetParam().length);
  FakeModuleFileName fake(path);
  EXPECT_EQ(ReadModuleFileName(std::ref(fake)), path);
  EXPECT_EQ(fake.sizes, GetParam().sizes);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ReadModuleFileNameTest,
                         testing::Values(GrowthCase{127, {128}}, GrowthCase{128, {128, 256}},
                                         GrowthCase{255, {128, 256}}, GrowthCase{256, {128, 256, 512}},
                                         GrowthCase{300, {128, 256, 512}},
                                         GrowthCase{32767, {128, 256, 512, 1024, 2048, 4096, 8192, 16384, 32768}}));

TEST(ReadModuleFileName, FailedCallGivesEmptyPathWithoutReadingTheBuffer) {
  int calls = 0;
  // The platform leaves the buffer undefined on failure: fill it with a
  // plausible path that must not come back.
  auto failing = [&calls](char* buffer, std::uint32_t size) -> std::uint32_t {
    ++calls;
    std::fill(buffer, buffer + size, 'x');
    std::memcpy(buffer, "C:\\junk\\", 8);
    return 0;
  };
  EXPECT_EQ(ReadModuleFileName(failing), "");
  EXPECT_EQ(calls, 1);
}

TEST(ReadModuleFileName, TakesTheTextUpToItsFirstNul) {
  auto call = [](char* buffer, std::uint32_t) -> std::uint32_t {
    std::memcpy(buffer, "C:\\a\\b.exe\0tail", 15);
    return 15;
  };
  EXPECT_EQ(ReadModuleFileName(call), "C:\\a\\b.exe");
}

// Behaves like RegQueryValueExA of one value holding exactly `stored`:
// answers its size, or copies it when the buffer holds it all. It writes no
// terminator of its own, as the registry does not for data stored without.
struct FakeStoredValue {
  std::string stored;
  bool sizeFails = false;
  bool readFails = false;
  std::uint32_t reportedSize = 0;  // when not 0, in place of stored.size()

  bool operator()(char* data, std::uint32_t* size) const {
    if (data == nullptr) {
      if (sizeFails) return false;
      *size = reportedSize != 0 ? reportedSize : static_cast<std::uint32_t>(stored.size());
      return true;
    }
    if (readFails || *size < stored.size()) return false;
    std::memcpy(data, stored.data(), stored.size());
    *size = static_cast<std::uint32_t>(stored.size());
    return true;
  }
};

// Data without a NUL fills the whole stored size: the reader's own zeroed
// byte after it must end the text. With one byte less the copy into the
// string reads past the allocation, which AddressSanitizer reports.
TEST(ReadStoredText, EndsAtTheFirstNulOrAtTheStoredEnd) {
  const struct {
    std::string stored;
    const char* text;
  } cases[] = {
      {std::string("1.2.0.8\0", 8), "1.2.0.8"},
      {"1.2.0.8", "1.2.0.8"},
      {std::string(4096, '7'), nullptr},
      {std::string("2.0\0\0", 5), "2.0"},
      {std::string("1.0\0second\0\0", 12), "1.0"},
      {"", ""},
      {std::string("\0", 1), ""},
  };
  for (const auto& c : cases) {
    const std::string expected = c.text != nullptr ? c.text : c.stored;
    std::string text = "untouched";
    EXPECT_TRUE(ReadStoredText(FakeStoredValue{c.stored}, text)) << expected;
    EXPECT_EQ(text, expected);
  }
}

TEST(ReadStoredText, FailsWithoutTouchingTheText) {
  FakeStoredValue sizeFails{"1.0"};
  sizeFails.sizeFails = true;
  FakeStoredValue readFails{"1.0"};
  readFails.readFails = true;
  // No room for the added NUL: refused before any allocation.
  FakeStoredValue endless{"1.0"};
  endless.reportedSize = 0xFFFFFFFFu;
  // Grown between the two calls: the second finds too little room.
  FakeStoredValue grown{"1.0.0.1"};
  grown.reportedSize = 3;
  for (const FakeStoredValue* c : {&sizeFails, &readFails, &endless, &grown}) {
    std::string text = "untouched";
    EXPECT_FALSE(ReadStoredText(*c, text)) << c->stored << " reported as " << c->reportedSize;
    EXPECT_EQ(text, "untouched");
  }
}

}  // namespace
