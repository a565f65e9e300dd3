#include "support/import_patch.h"

#include <gtest/gtest.h>

namespace test {
namespace {

// No process of a test run has the id 0.
DWORD WINAPI IdOfNoProcess() { return 0; }

// Within one function the compiler loads an import's address once, so the
// calls are made from a function of their own, as the code under test makes
// them.
[[gnu::noinline]] DWORD CurrentProcessId() { return ::GetCurrentProcessId(); }

TEST(ImportPatch, RedirectsTheImportWhileItLivesAndRestoresItAfter) {
  const DWORD real = CurrentProcessId();
  ASSERT_NE(real, 0u);
  {
    ScopedImportPatch patch("kernel32.dll", "GetCurrentProcessId", reinterpret_cast<const void*>(&IdOfNoProcess));
    ASSERT_TRUE(patch.Patched());
    EXPECT_EQ(CurrentProcessId(), 0u);
    EXPECT_EQ(reinterpret_cast<DWORD(WINAPI*)()>(patch.Original())(), real);
  }
  EXPECT_EQ(CurrentProcessId(), real);
}

TEST(ImportPatch, FunctionThatIsNotImportedIsNotPatched) {
  for (const char* dll : {"kernel32.dll", "no-such.dll"}) {
    ScopedImportPatch patch(dll, "NoSuchFunction", reinterpret_cast<const void*>(&IdOfNoProcess));
    EXPECT_FALSE(patch.Patched()) << dll;
  }
}

}  // namespace
}  // namespace test
