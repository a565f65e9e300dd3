// The step that makes the exports' image ready, seen from a process whose
// own image holds it (the installer's case) and through its export lookup.

#include "acpi/image_readiness.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "acpi/loader_list.h"
#include "base/unique_handle.h"

namespace {

using LoaderList::FindLoadedExport;

TEST(ImageReadinessTest, ExportLookupAgreesWithGetProcAddressAlsoForForwarders) {
  const HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
  ASSERT_NE(kernel32, nullptr);
  // The first three are what the step needs; the others are forwarded by
  // Wine's kernel32, to "NTDLL." and to "kernelbase." respectively.
  for (const char* name : {"LoadLibraryA", "GetProcAddress", "VirtualProtect", "AcquireSRWLockExclusive",
                           "AppPolicyGetMediaFoundationCodecLoading"}) {
    const FARPROC expected = ::GetProcAddress(kernel32, name);
    ASSERT_NE(expected, nullptr) << name;
    EXPECT_EQ(FindLoadedExport(kernel32, name), reinterpret_cast<void*>(expected)) << name;
  }
  EXPECT_EQ(FindLoadedExport(kernel32, "NoSuchExport"), nullptr);
  EXPECT_EQ(FindLoadedExport(kernel32, "loadlibrarya"), nullptr) << "export names are case-sensitive";
}

DWORD WINAPI CallMakeImageReady(void* answer) {
  *static_cast<bool*>(answer) = MakeImageReady();
  return 0;
}

TEST(ImageReadinessTest, InItsOwnProcessTheImageIsReadyForEveryCaller) {
  constexpr int kThreads = 16;
  bool answers[kThreads] = {};
  std::vector<ScopedHandle> threads;
  std::vector<HANDLE> waitable;
  for (bool& answer : answers) {
    threads.emplace_back(::CreateThread(nullptr, 0, CallMakeImageReady, &answer, 0, nullptr));
    ASSERT_TRUE(threads.back().IsValid());
    waitable.push_back(threads.back().Get());
  }
  ASSERT_EQ(::WaitForMultipleObjects(kThreads, waitable.data(), TRUE, INFINITE), WAIT_OBJECT_0);
  for (bool answer : answers) EXPECT_TRUE(answer);
  EXPECT_TRUE(MakeImageReady());
}

}  // namespace
