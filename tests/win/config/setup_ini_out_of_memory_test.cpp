// Running out of memory cannot be brought about on the real platform, so
// this binary replaces the global allocation functions with ones that can
// be told to fail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "config/setup_ini.h"
#include "support/scratch.h"

namespace {

// Allocations still to succeed before the next one fails; -1: never fail.
int g_allocationsBeforeFailure = -1;

void* Allocate(std::size_t size) {
  if (g_allocationsBeforeFailure == 0) {
    g_allocationsBeforeFailure = -1;
    return nullptr;
  }
  if (g_allocationsBeforeFailure > 0) --g_allocationsBeforeFailure;
  return std::malloc(size ? size : 1);
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace test {
namespace {

// Longer than any short-string buffer, so that storing it allocates.
const std::string kLongPath = "C:\\a folder whose name is long enough\\setup.ini";

TEST(SetupIniOutOfMemory, OpenReportsFailureAndLeavesTheReaderEmpty) {
  // First allocation: the value buffer; second: the stored file name.
  for (int allocationsBefore : {0, 1}) {
    SetupIni ini;
    g_allocationsBeforeFailure = allocationsBefore;
    bool opened = true;
    EXPECT_NO_THROW(opened = ini.Open(kLongPath.c_str())) << allocationsBefore;
    g_allocationsBeforeFailure = -1;
    EXPECT_FALSE(opened) << allocationsBefore;
    EXPECT_EQ(ini.BufferSize(), 0u) << allocationsBefore;
    EXPECT_EQ(ini.Read("ServiceName", "error737"), "error737") << allocationsBefore;
  }
}

TEST(SetupIniOutOfMemory, ReadThatCannotGrowGivesTheDefault) {
  ScratchFolder folder;
  WriteFileContent(folder / "setup.ini", "[Common]\r\nServiceName=" + std::string(300, 's') + "\r\nversion=1.2\r\n");
  SetupIni ini;
  ASSERT_TRUE(ini.Open((folder / "setup.ini").c_str()));
  g_allocationsBeforeFailure = 0;
  std::string value;
  EXPECT_NO_THROW(value = ini.Read("ServiceName", "error737"));
  g_allocationsBeforeFailure = -1;
  EXPECT_EQ(value, "error737");
  // The reader still works with the buffer it had.
  EXPECT_EQ(ini.BufferSize(), 128u);
  EXPECT_EQ(ini.Read("version", "error737"), "1.2");
}

}  // namespace
}  // namespace test
