#pragma once

#include <cstddef>
#include <cstdint>

#include "acpi/pe_image.h"
#include "base/win.h"

// The loader's list of the modules in this process, and what the export
// path finds through it before its own image is ready: ntdll with the loader
// lock, and the kernel32 functions that relocation and binding need. Runs
// under the same restrictions as image_readiness.cpp.

namespace LoaderList {

// The loader's records, as the platform lays them out on both architectures
// (winternl.h hides the fields needed here).
struct CountedString {
  USHORT length;
  USHORT maximumLength;
  const wchar_t* buffer;
};

struct LoaderEntry {
  LIST_ENTRY inLoadOrder;
  LIST_ENTRY inMemoryOrder;
  LIST_ENTRY inInitializationOrder;
  BYTE* dllBase;
  void* entryPoint;
  ULONG sizeOfImage;
  CountedString fullName;
  CountedString baseName;
};

struct LoaderData {
  ULONG length;
  BOOLEAN initialized;
  void* ssHandle;
  LIST_ENTRY inLoadOrder;
};

struct ProcessBlock {
  BYTE flags[4];
  void* mutant;
  BYTE* imageBase;
  LoaderData* loader;
};

#if defined(_WIN64)
static_assert(offsetof(ProcessBlock, imageBase) == 0x10 && offsetof(ProcessBlock, loader) == 0x18);
static_assert(offsetof(LoaderData, inLoadOrder) == 0x10);
static_assert(offsetof(LoaderEntry, dllBase) == 0x30 && offsetof(LoaderEntry, baseName) == 0x58);
#else
static_assert(offsetof(ProcessBlock, imageBase) == 0x08 && offsetof(ProcessBlock, loader) == 0x0c);
static_assert(offsetof(LoaderData, inLoadOrder) == 0x0c);
static_assert(offsetof(LoaderEntry, dllBase) == 0x18 && offsetof(LoaderEntry, baseName) == 0x2c);
#endif

const ProcessBlock* CurrentProcessBlock();

// The list in load order: the program first, then ntdll. Null at the end.
const LoaderEntry* FirstEntry(const ProcessBlock* block);
const LoaderEntry* NextEntry(const ProcessBlock* block, const LoaderEntry* entry);

// The image an entry records.
PeImage::Image EntryImage(const LoaderEntry* entry);

using LdrLockLoaderLockFunction = LONG(NTAPI*)(ULONG flags, ULONG* disposition, ULONG_PTR* cookie);
using LdrUnlockLoaderLockFunction = LONG(NTAPI*)(ULONG flags, ULONG_PTR cookie);
using NtYieldExecutionFunction = LONG(NTAPI*)();

struct Ntdll {
  LdrLockLoaderLockFunction lockLoaderLock;
  LdrUnlockLoaderLockFunction unlockLoaderLock;
  NtYieldExecutionFunction yieldExecution;
};

// ntdll and the functions above, read without the loader lock (see the
// definition for why that is safe).
bool FindNtdll(const ProcessBlock* block, Ntdll* ntdll);

// The loader lock, held from construction to destruction, so that no thread
// loads or unloads a module while the list is walked. It is recursive: a
// thread that already holds it (in a DLL's entry point) takes it again.
class LoaderLock {
 public:
  explicit LoaderLock(const Ntdll& ntdll) : ntdll_(ntdll) { held_ = ntdll_.lockLoaderLock(0, nullptr, &cookie_) >= 0; }
  ~LoaderLock() {
    if (held_) ntdll_.unlockLoaderLock(0, cookie_);
  }
  LoaderLock(const LoaderLock&) = delete;
  LoaderLock& operator=(const LoaderLock&) = delete;

  bool Held() const { return held_; }

 private:
  const Ntdll& ntdll_;
  ULONG_PTR cookie_ = 0;
  bool held_ = false;
};

// The walks below need the loader lock held.

// The module whose image holds `address`; an invalid image when none does.
PeImage::Image ModuleContaining(const ProcessBlock* block, const void* address);
// The first module whose base name has this hash (ModuleNameHash).
PeImage::Image ModuleNamed(const ProcessBlock* block, std::uint64_t nameHash);

// The loaded modules, as export lookup finds a forwarder's target.
class LoadedModules {
 public:
  explicit LoadedModules(const ProcessBlock* block) : block_(block) {}
  PeImage::Image ModuleNamed(std::uint64_t nameHash) const { return LoaderList::ModuleNamed(block_, nameHash); }

 private:
  const ProcessBlock* block_;
};

// Forwarded exports may chain (kernel32 to kernelbase and on); a loop would not end.
constexpr int kMaxForwards = 4;

using LoadLibraryFunction = HMODULE(WINAPI*)(LPCSTR);
using GetProcAddressFunction = FARPROC(WINAPI*)(HMODULE, LPCSTR);
using VirtualProtectFunction = BOOL(WINAPI*)(LPVOID, SIZE_T, DWORD, PDWORD);

struct Kernel32 {
  LoadLibraryFunction loadLibrary;
  GetProcAddressFunction getProcAddress;
  VirtualProtectFunction virtualProtect;
};

bool FindKernel32(const ProcessBlock* block, Kernel32* kernel32);

// The address of a named export of a loaded module, found as kernel32's
// functions are found: through the module's export table, following
// forwarders to other loaded modules, under the loader lock. Null when
// there is none, or `module` is no loaded module's base.
void* FindLoadedExport(const void* module, const char* name);

}  // namespace LoaderList
