#include "setup/run_guards.h"

#include "base/win.h"

#include <sddl.h>

namespace {

// The namespace's name, as its boundary and as the prefix of the names in it.
constexpr wchar_t kNamespace[] = L"Korven.Ventaro";
constexpr wchar_t kPrivateMutexName[] = L"Korven.Ventaro\\Setup";
// Global: runs in other sessions (a deployment tool's, a user's) count too.
constexpr char kGlobalMutexName[] = "Global\\Korven.Ventaro.Setup";
// Only SYSTEM and Administrators may make objects in the namespace.
constexpr char kNamespaceSecurity[] = "D:P(A;;GA;;;SY)(A;;GA;;;BA)";
// Another run may close the namespace between our create and our open.
constexpr int kNamespaceAttempts = 8;

template <typename Function>
Function Find(HMODULE kernel32, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(kernel32, name)));
}

// The private-namespace functions, where the platform has them all.
struct NamespaceFunctions {
  NamespaceFunctions() {
    HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
    createBoundary = Find<decltype(createBoundary)>(kernel32, "CreateBoundaryDescriptorW");
    addSid = Find<decltype(addSid)>(kernel32, "AddSIDToBoundaryDescriptor");
    deleteBoundary = Find<decltype(deleteBoundary)>(kernel32, "DeleteBoundaryDescriptor");
    create = Find<decltype(create)>(kernel32, "CreatePrivateNamespaceW");
    open = Find<decltype(open)>(kernel32, "OpenPrivateNamespaceW");
    close = Find<decltype(close)>(kernel32, "ClosePrivateNamespace");
  }
  bool Complete() const { return createBoundary && addSid && deleteBoundary && create && open && close; }

  decltype(&::CreateBoundaryDescriptorW) createBoundary;
  decltype(&::AddSIDToBoundaryDescriptor) addSid;
  decltype(&::DeleteBoundaryDescriptor) deleteBoundary;
  decltype(&::CreatePrivateNamespaceW) create;
  decltype(&::OpenPrivateNamespaceW) open;
  decltype(&::ClosePrivateNamespace) close;
};

// The namespace whose boundary holds the Administrators group, created, or
// opened when another run has it; null when neither can be done.
HANDLE CreateOrOpenNamespace(const NamespaceFunctions& functions) {
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof administrators;
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size)) return nullptr;
  HANDLE boundary = functions.createBoundary(kNamespace, 0);
  if (!boundary) return nullptr;
  HANDLE opened = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  // Adding may move the descriptor.
  if (functions.addSid(&boundary, administrators) && ::ConvertStringSecurityDescriptorToSecurityDescriptorA(
                                                         kNamespaceSecurity, SDDL_REVISION_1, &descriptor, nullptr)) {
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    for (int attempt = 0; attempt < kNamespaceAttempts && !opened; ++attempt) {
      opened = functions.create(&attributes, boundary, kNamespace);
      if (opened || ::GetLastError() != ERROR_ALREADY_EXISTS) break;
      // When it is gone again before it could be opened, it is created anew.
      opened = functions.open(boundary, kNamespace);
    }
    ::LocalFree(descriptor);
  }
  functions.deleteBoundary(boundary);
  return opened;
}

}  // namespace

SingleRunLock::SingleRunLock() {
  const NamespaceFunctions functions;
  if (functions.Complete()) {
    // Without the namespace there is no lock: a global name could be taken
    // first by anyone.
    namespace_ = CreateOrOpenNamespace(functions);
    if (!namespace_) return;
    closeNamespace_ = functions.close;
    mutex_.Reset(::CreateMutexW(nullptr, FALSE, kPrivateMutexName));
  } else {
    mutex_.Reset(::CreateMutexA(nullptr, FALSE, kGlobalMutexName));
  }
  if (!mutex_) return;
  const DWORD waited = ::WaitForSingleObject(mutex_.Get(), INFINITE);
  // A run that died holding the lock leaves it abandoned: ours now.
  held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

SingleRunLock::~SingleRunLock() {
  if (held_) ::ReleaseMutex(mutex_.Get());
  mutex_.Reset();
  if (namespace_) closeNamespace_(namespace_, 0);
}

void RestrictDllSearch() {
  // Windows 7 has SetDefaultDllDirectories only with KB2533623: look it up
  // rather than import it, so setup.exe still starts without that update.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  auto setDefaultDllDirectories =
      Find<SetDefaultDllDirectoriesFunction>(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
  if (setDefaultDllDirectories) setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Without it, at least the current folder leaves the search.
  ::SetDllDirectoryA("");
}
