#include "setup/run_guards.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/unique_handle.h"
#include "support/import_patch.h"

#include <sddl.h>

namespace {

constexpr char kMutexName[] = "Global\\Korven.Ventaro.Setup";

// Starts a second run while the first holds the lock: it stays blocked
// until `letGo` ends the first, then holds the lock itself.
void ExpectASecondRunToWaitUntil(const std::function<void()>& letGo) {
  ScopedHandle entered(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::atomic<bool> acquired{false};
  std::thread second([&acquired, event = entered.Get()] {
    SingleRunLock lock;
    acquired = lock.Held();
    ::SetEvent(event);
  });
  EXPECT_EQ(::WaitForSingleObject(entered.Get(), 500), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_FALSE(acquired);
  letGo();
  second.join();
  EXPECT_TRUE(acquired);
}

// Wine has no private namespaces, so these run on the global name.
TEST(SingleRunLock, WaitsForTheRunBeforeIt) {
  ScopedHandle other(::CreateMutexA(nullptr, TRUE, kMutexName));  // another run holds it
  ASSERT_TRUE(other.IsValid());
  ExpectASecondRunToWaitUntil([&other] { ::ReleaseMutex(other.Get()); });
}

TEST(SingleRunLock, ALockLeftByARunThatDiedIsTaken) {
  // A thread that ends holding the mutex abandons it, as a killed run does.
  std::thread died([] { ::CreateMutexA(nullptr, TRUE, kMutexName); });
  died.join();
  {
    SingleRunLock lock;
    EXPECT_TRUE(lock.Held());
  }
  // And it is let go again: the next run gets it at once.
  ScopedHandle next(::OpenMutexA(SYNCHRONIZE, FALSE, kMutexName));
  ASSERT_TRUE(next.IsValid());
  EXPECT_EQ(::WaitForSingleObject(next.Get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
  ::ReleaseMutex(next.Get());
}

// A platform with private namespaces, which Wine lacks, standing in through
// this program's imports: the namespace functions as GetProcAddress finds
// them, and CreateMutexW, which makes the name in the namespace a real mutex
// of this test's own while a namespace is open. What the lock asks of them
// is written down in `calls`.
class FakeNamespaces {
 public:
  int alreadyThere = 0;  // creates that answer that another run has it
  int vanishing = 0;     // opens that answer that it is gone again
  bool refused = false;  // creates that answer access denied (no administrator)
  std::vector<std::string> calls;

  FakeNamespaces()
      : findPatch_("kernel32.dll", "GetProcAddress", reinterpret_cast<const void*>(&FakeGetProcAddress)),
        mutexPatch_("kernel32.dll", "CreateMutexW", reinterpret_cast<const void*>(&FakeCreateMutexW)) {
    current_ = this;
    EXPECT_TRUE(findPatch_.Patched() && mutexPatch_.Patched());
  }
  ~FakeNamespaces() { current_ = nullptr; }

 private:
  void Record(const std::string& call) {
    std::lock_guard<std::mutex> hold(callsLock_);
    calls.push_back(call);
  }

  static inline const HANDLE kBoundary = reinterpret_cast<HANDLE>(0x5100);
  static inline const HANDLE kMovedBoundary = reinterpret_cast<HANDLE>(0x5200);  // where adding a SID moves it
  static inline const HANDLE kNamespace = reinterpret_cast<HANDLE>(0x5300);

  static std::string Narrow(const wchar_t* text) {
    std::string narrow;
    for (; text && *text; ++text) narrow += static_cast<char>(*text);
    return narrow;
  }
  static std::string Name(HANDLE handle) {
    if (handle == kBoundary) return "boundary";
    if (handle == kMovedBoundary) return "moved boundary";
    if (handle == kNamespace) return "namespace";
    return "unknown handle";
  }

  // Counts one planned failure down; true, with the error set, while one was left.
  static bool Fails(int& planned, DWORD error) {
    if (planned <= 0) return false;
    --planned;
    ::SetLastError(error);
    return true;
  }

  static HANDLE WINAPI CreateBoundary(LPCWSTR name, ULONG flags) {
    current_->Record("CreateBoundaryDescriptorW " + Narrow(name) + " " + std::to_string(flags));
    return kBoundary;
  }
  static BOOL WINAPI AddSid(HANDLE* boundary, PSID sid) {
    char* text = nullptr;
    ::ConvertSidToStringSidA(sid, &text);
    current_->Record("AddSIDToBoundaryDescriptor " + Name(*boundary) + " " + (text ? text : "?"));
    ::LocalFree(text);
    *boundary = kMovedBoundary;
    return TRUE;
  }
  static VOID WINAPI DeleteBoundary(HANDLE boundary) { current_->Record("DeleteBoundaryDescriptor " + Name(boundary)); }
  static HANDLE WINAPI Create(LPSECURITY_ATTRIBUTES attributes, LPVOID boundary, LPCWSTR alias) {
    current_->Record("CreatePrivateNamespaceW " + Name(boundary) + " " + Narrow(alias));
    char* text = nullptr;
    if (!attributes ||
        !::ConvertSecurityDescriptorToStringSecurityDescriptorA(attributes->lpSecurityDescriptor, SDDL_REVISION_1,
                                                                DACL_SECURITY_INFORMATION, &text, nullptr)) {
      current_->Record("  without security");
    } else {
      current_->Record(std::string("  ") + text);
      ::LocalFree(text);
    }
    if (current_->refused) {
      ::SetLastError(ERROR_ACCESS_DENIED);
      return nullptr;
    }
    if (Fails(current_->alreadyThere, ERROR_ALREADY_EXISTS)) return nullptr;
    ++current_->open_;
    return kNamespace;
  }
  static HANDLE WINAPI Open(LPVOID boundary, LPCWSTR alias) {
    current_->Record("OpenPrivateNamespaceW " + Name(boundary) + " " + Narrow(alias));
    if (Fails(current_->vanishing, ERROR_PATH_NOT_FOUND)) return nullptr;
    ++current_->open_;
    return kNamespace;
  }
  static BOOLEAN WINAPI Close(HANDLE handle, ULONG flags) {
    current_->Record("ClosePrivateNamespace " + Name(handle) + " " + std::to_string(flags));
    --current_->open_;
    return TRUE;
  }

  static FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
    const struct {
      const char* name;
      const void* fake;
    } fakes[] = {
        {"CreateBoundaryDescriptorW", reinterpret_cast<const void*>(&CreateBoundary)},
        {"AddSIDToBoundaryDescriptor", reinterpret_cast<const void*>(&AddSid)},
        {"DeleteBoundaryDescriptor", reinterpret_cast<const void*>(&DeleteBoundary)},
        {"CreatePrivateNamespaceW", reinterpret_cast<const void*>(&Create)},
        {"OpenPrivateNamespaceW", reinterpret_cast<const void*>(&Open)},
        {"ClosePrivateNamespace", reinterpret_cast<const void*>(&Close)},
    };
    for (const auto& fake : fakes) {
      if (HIWORD(name) != 0 && std::string(name) == fake.name) {
        return reinterpret_cast<FARPROC>(const_cast<void*>(fake.fake));
      }
    }
    return reinterpret_cast<decltype(&::GetProcAddress)>(current_->findPatch_.Original())(module, name);
  }
  static HANDLE WINAPI FakeCreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL owned, LPCWSTR name) {
    current_->Record("CreateMutexW " + Narrow(name));
    if (current_->open_ <= 0) {
      ::SetLastError(ERROR_PATH_NOT_FOUND);  // no such namespace
      return nullptr;
    }
    const std::wstring own = L"Local\\Korven.Ventaro.Test." + std::to_wstring(::GetCurrentProcessId());
    return reinterpret_cast<decltype(&::CreateMutexW)>(current_->mutexPatch_.Original())(attributes, owned,
                                                                                         own.c_str());
  }

  static FakeNamespaces* current_;
  test::ScopedImportPatch findPatch_;
  test::ScopedImportPatch mutexPatch_;
  std::mutex callsLock_;
  std::atomic<int> open_{0};
};

FakeNamespaces* FakeNamespaces::current_ = nullptr;

// Whether anything made the global name, which anyone could have taken.
bool GlobalNameExists() {
  ScopedHandle global(::OpenMutexA(SYNCHRONIZE, FALSE, kMutexName));
  return global.IsValid();
}

TEST(SingleRunLock, LivesInANamespaceOfAdministratorsWherePrivateNamespacesExist) {
  using Calls = std::vector<std::string>;
  const std::string boundary = "CreateBoundaryDescriptorW Korven.Ventaro 0";
  const std::string administrators = "AddSIDToBoundaryDescriptor boundary S-1-5-32-544";
  const std::string create = "CreatePrivateNamespaceW moved boundary Korven.Ventaro";
  const std::string security = "  D:P(A;;GA;;;SY)(A;;GA;;;BA)";
  const std::string open = "OpenPrivateNamespaceW moved boundary Korven.Ventaro";
  const std::string deleted = "DeleteBoundaryDescriptor moved boundary";
  const std::string mutex = "CreateMutexW Korven.Ventaro\\Setup";
  const std::string closed = "ClosePrivateNamespace namespace 0";
  const struct {
    const char* what;
    int alreadyThere, vanishing;
    bool refused, held;
    Calls calls;
  } cases[] = {
      {"the first run makes it",
       0,
       0,
       false,
       true,
       {boundary, administrators, create, security, deleted, mutex, closed}},
      {"another run has it",
       1,
       0,
       false,
       true,
       {boundary, administrators, create, security, open, deleted, mutex, closed}},
      {"it is gone between create and open",
       1,
       1,
       false,
       true,
       {boundary, administrators, create, security, open, create, security, deleted, mutex, closed}},
      // Past a few tries the run goes on without a lock rather than on a
      // name anyone could hold.
      {"it keeps vanishing", 100, 100, false, false, {boundary, administrators, create, security, open, create,
                                                      security, open,           create, security, open, create,
                                                      security, open,           create, security, open, create,
                                                      security, open,           create, security, open, create,
                                                      security, open,           deleted}},
      {"the run is no administrator", 0, 0, true, false, {boundary, administrators, create, security, deleted}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeNamespaces platform;
    platform.alreadyThere = c.alreadyThere;
    platform.vanishing = c.vanishing;
    platform.refused = c.refused;
    {
      SingleRunLock lock;
      EXPECT_EQ(lock.Held(), c.held);
    }
    EXPECT_EQ(platform.calls, c.calls);
    EXPECT_FALSE(GlobalNameExists());
  }
}

TEST(SingleRunLock, InTheNamespaceTooASecondRunWaitsForTheFirst) {
  FakeNamespaces platform;
  std::optional<SingleRunLock> first;
  first.emplace();
  ASSERT_TRUE(first->Held());
  ExpectASecondRunToWaitUntil([&first] { first.reset(); });
}

}  // namespace
