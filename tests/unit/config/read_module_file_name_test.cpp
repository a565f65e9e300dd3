#include "config/read_module_file_name.h"

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

}  // namespace
