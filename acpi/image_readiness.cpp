#include "acpi/image_readiness.h"

#include <cstddef>
#include <cstdint>

#include "acpi/name_hash.h"
#include "base/win.h"

#if defined(_MSC_VER)
#include <intrin.h>
#endif

// Everything here may run before the image has been relocated and bound.
// So this file reads no global through its link-time address (i686 code
// would use the unrelocated one), uses no string literal, no switch table, no
// virtual call and nothing from the import table, and calls only functions
// of its own (relative calls). The build compiles it without loop-to-memset
// rewriting, jump tables and stack protector, which would bring exactly
// those in.

namespace {

enum : LONG { kIdle = 0, kBusy = 1, kReady = 2, kFailed = 3 };

struct ReadyState {
  volatile LONG state;
  // Holds its own address once relocated: read through the runtime address,
  // it tells whether the loader applied the base relocations.
  void* self;
};

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

constexpr std::size_t kPageSize = 0x1000;
// Forwarded exports may chain (kernel32 to kernelbase and on); a loop would not end.
constexpr int kMaxForwards = 4;

// The section that holds the state: found through the image's own headers,
// which needs no relocated address. Its name packed little-endian.
constexpr std::uint64_t SectionTag(const char (&name)[9]) {
  std::uint64_t tag = 0;
  for (int i = 7; i >= 0; --i) tag = (tag << 8) | static_cast<unsigned char>(name[i]);
  return tag;
}
constexpr std::uint64_t kStateSectionTag = SectionTag(".acpirdy");

using LoadLibraryFunction = HMODULE(WINAPI*)(LPCSTR);
using GetProcAddressFunction = FARPROC(WINAPI*)(HMODULE, LPCSTR);
using VirtualProtectFunction = BOOL(WINAPI*)(LPVOID, SIZE_T, DWORD, PDWORD);

struct Kernel32 {
  LoadLibraryFunction loadLibrary;
  GetProcAddressFunction getProcAddress;
  VirtualProtectFunction virtualProtect;
};

using LdrLockLoaderLockFunction = LONG(NTAPI*)(ULONG flags, ULONG* disposition, ULONG_PTR* cookie);
using LdrUnlockLoaderLockFunction = LONG(NTAPI*)(ULONG flags, ULONG_PTR cookie);
using NtYieldExecutionFunction = LONG(NTAPI*)();

struct Ntdll {
  LdrLockLoaderLockFunction lockLoaderLock;
  LdrUnlockLoaderLockFunction unlockLoaderLock;
  NtYieldExecutionFunction yieldExecution;
};

const ProcessBlock* CurrentProcessBlock() {
  const ProcessBlock* block;
#if defined(_MSC_VER) && defined(_M_X64)
  block = reinterpret_cast<const ProcessBlock*>(__readgsqword(0x60));
#elif defined(_MSC_VER)
  block = reinterpret_cast<const ProcessBlock*>(__readfsdword(0x30));
#elif defined(__x86_64__)
  __asm__("movq %%gs:0x60, %0" : "=r"(block));
#else
  __asm__("movl %%fs:0x30, %0" : "=r"(block));
#endif
  return block;
}

// A code address of this image that is right at run time, relocated or not:
// the return address of a call made from this file.
#if defined(_MSC_VER)
__declspec(noinline) const BYTE* AddressInThisImage() { return static_cast<const BYTE*>(_ReturnAddress()); }
#else
__attribute__((noinline, noclone)) const BYTE* AddressInThisImage() {
  return static_cast<const BYTE*>(__builtin_return_address(0));
}
#endif

LONG LoadState(volatile LONG* state) {
#if defined(_MSC_VER)
  return _InterlockedOr(const_cast<LONG*>(state), 0);
#else
  return __atomic_load_n(state, __ATOMIC_ACQUIRE);
#endif
}

void StoreState(volatile LONG* state, LONG value) {
#if defined(_MSC_VER)
  _InterlockedExchange(const_cast<LONG*>(state), value);
#else
  __atomic_store_n(state, value, __ATOMIC_RELEASE);
#endif
}

bool ClaimState(volatile LONG* state) {
#if defined(_MSC_VER)
  return _InterlockedCompareExchange(const_cast<LONG*>(state), kBusy, kIdle) == kIdle;
#else
  LONG expected = kIdle;
  return __atomic_compare_exchange_n(state, &expected, kBusy, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
#endif
}

void PauseBriefly() {
#if defined(_MSC_VER)
  _mm_pause();
#else
  __builtin_ia32_pause();
#endif
}

// While another thread makes the image ready: spin a little, then give the
// processor away, so that a waiter never starves the thread it waits for.
void Wait(const Ntdll& ntdll, int* rounds) {
  if (++*rounds < 64) {
    PauseBriefly();
  } else {
    ntdll.yieldExecution();
  }
}

const LoaderEntry* FirstEntry(const ProcessBlock* block) {
  const LIST_ENTRY* head = &block->loader->inLoadOrder;
  return head->Flink == head ? nullptr : reinterpret_cast<const LoaderEntry*>(head->Flink);
}

const LoaderEntry* NextEntry(const ProcessBlock* block, const LoaderEntry* entry) {
  const LIST_ENTRY* head = &block->loader->inLoadOrder;
  const LIST_ENTRY* next = entry->inLoadOrder.Flink;
  return next == head ? nullptr : reinterpret_cast<const LoaderEntry*>(next);
}

BYTE* ModuleContaining(const ProcessBlock* block, const BYTE* address) {
  for (const LoaderEntry* e = FirstEntry(block); e != nullptr; e = NextEntry(block, e)) {
    if (address >= e->dllBase && static_cast<std::size_t>(address - e->dllBase) < e->sizeOfImage) {
      return e->dllBase;
    }
  }
  return nullptr;
}

bool IsNamed(const LoaderEntry* e, std::uint64_t nameHash) {
  std::uint64_t hash = kNameHashSeed;
  const std::size_t units = e->baseName.length / sizeof(wchar_t);
  for (std::size_t i = 0; i < units; ++i) {
    hash = NameHashStep(hash, FoldAsciiCase(e->baseName.buffer[i]));
  }
  return units != 0 && hash == nameHash;
}

BYTE* ModuleNamed(const ProcessBlock* block, std::uint64_t nameHash) {
  for (const LoaderEntry* e = FirstEntry(block); e != nullptr; e = NextEntry(block, e)) {
    if (IsNamed(e, nameHash)) return e->dllBase;
  }
  return nullptr;
}

const IMAGE_NT_HEADERS* NtHeaders(const BYTE* base) {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  return reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
}

const IMAGE_DATA_DIRECTORY* Directory(const BYTE* base, int index) {
  const IMAGE_NT_HEADERS* nt = NtHeaders(base);
  if (nt->OptionalHeader.NumberOfRvaAndSizes <= static_cast<DWORD>(index)) return nullptr;
  const IMAGE_DATA_DIRECTORY* directory = &nt->OptionalHeader.DataDirectory[index];
  return directory->VirtualAddress != 0 && directory->Size != 0 ? directory : nullptr;
}

ReadyState* FindReadyState(BYTE* base) {
  const IMAGE_NT_HEADERS* nt = NtHeaders(base);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    std::uint64_t tag = 0;
    for (int b = 7; b >= 0; --b) tag = (tag << 8) | section->Name[b];
    if (tag == kStateSectionTag && section->Misc.VirtualSize >= sizeof(ReadyState)) {
      return reinterpret_cast<ReadyState*>(base + section->VirtualAddress);
    }
  }
  return nullptr;
}

void* FindExport(const ProcessBlock* block, const BYTE* module, std::uint64_t nameHash, DWORD ordinal,
                 int forwardsLeft);

// A forwarded export names its target as "module.function" or "module.#ordinal".
// An API set name ("api-ms-win-core-...") is no module of its own; the
// functions needed here live in kernelbase behind it.
bool NamesApiSet(const char* name) {
  return (name[0] == 'a' && name[1] == 'p' && name[2] == 'i' && name[3] == '-') ||
         (name[0] == 'e' && name[1] == 'x' && name[2] == 't' && name[3] == '-');
}

void* FollowForwarder(const ProcessBlock* block, const char* forward, int forwardsLeft) {
  constexpr std::uint64_t kKernelBase = ModuleNameHash("kernelbase.dll");
  if (forwardsLeft == 0) return nullptr;
  const bool apiSet = NamesApiSet(forward);
  std::uint64_t moduleHash = kNameHashSeed;
  for (; *forward != '\0' && *forward != '.'; ++forward) {
    moduleHash = NameHashStep(moduleHash, FoldAsciiCase(static_cast<unsigned char>(*forward)));
  }
  if (*forward != '.') return nullptr;
  ++forward;
  moduleHash = NameHashStep(moduleHash, '.');
  moduleHash = NameHashStep(moduleHash, 'd');
  moduleHash = NameHashStep(moduleHash, 'l');
  moduleHash = NameHashStep(moduleHash, 'l');
  const BYTE* target = ModuleNamed(block, moduleHash);
  if (target == nullptr && apiSet) target = ModuleNamed(block, kKernelBase);
  if (target == nullptr) return nullptr;

  if (*forward == '#') {
    DWORD ordinal = 0;
    for (++forward; *forward >= '0' && *forward <= '9'; ++forward) {
      ordinal = ordinal * 10 + static_cast<DWORD>(*forward - '0');
    }
    return ordinal == 0 ? nullptr : FindExport(block, target, 0, ordinal, forwardsLeft - 1);
  }
  return FindExport(block, target, ExportNameHash(forward), 0, forwardsLeft - 1);
}

// The address of an export, by name hash or (when ordinal is not 0) by ordinal.
void* FindExport(const ProcessBlock* block, const BYTE* module, std::uint64_t nameHash, DWORD ordinal,
                 int forwardsLeft) {
  const IMAGE_DATA_DIRECTORY* directory = Directory(module, IMAGE_DIRECTORY_ENTRY_EXPORT);
  if (directory == nullptr) return nullptr;
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(module + directory->VirtualAddress);
  const auto* functions = reinterpret_cast<const DWORD*>(module + exports->AddressOfFunctions);

  DWORD index = 0;
  if (ordinal != 0) {
    if (ordinal < exports->Base) return nullptr;
    index = ordinal - exports->Base;
  } else {
    const auto* names = reinterpret_cast<const DWORD*>(module + exports->AddressOfNames);
    const auto* nameOrdinals = reinterpret_cast<const WORD*>(module + exports->AddressOfNameOrdinals);
    DWORD i = 0;
    while (i < exports->NumberOfNames && ExportNameHash(reinterpret_cast<const char*>(module + names[i])) != nameHash) {
      ++i;
    }
    if (i == exports->NumberOfNames) return nullptr;
    index = nameOrdinals[i];
  }
  if (index >= exports->NumberOfFunctions || functions[index] == 0) return nullptr;

  const DWORD rva = functions[index];
  if (rva >= directory->VirtualAddress && rva - directory->VirtualAddress < directory->Size) {
    return FollowForwarder(block, reinterpret_cast<const char*>(module + rva), forwardsLeft);
  }
  return const_cast<BYTE*>(module + rva);
}

// ntdll comes right after the executable in the load order and is never
// unloaded, and the loader only ever adds entries at the end: the first two
// entries can be read without the loader lock. Through them the lock itself
// is found; every other walk of the list holds it.
bool FindNtdll(const ProcessBlock* block, Ntdll* ntdll) {
  constexpr std::uint64_t kNtdll = ModuleNameHash("ntdll.dll");
  constexpr std::uint64_t kLock = ExportNameHash("LdrLockLoaderLock");
  constexpr std::uint64_t kUnlock = ExportNameHash("LdrUnlockLoaderLock");
  constexpr std::uint64_t kYield = ExportNameHash("NtYieldExecution");

  const BYTE* module = nullptr;
  const LoaderEntry* e = FirstEntry(block);
  for (int i = 0; i < 2 && e != nullptr && module == nullptr; ++i, e = NextEntry(block, e)) {
    if (IsNamed(e, kNtdll)) module = e->dllBase;
  }
  if (module == nullptr) return false;
  // ntdll forwards none of these: no other module is looked up.
  ntdll->lockLoaderLock = reinterpret_cast<LdrLockLoaderLockFunction>(FindExport(block, module, kLock, 0, 0));
  ntdll->unlockLoaderLock = reinterpret_cast<LdrUnlockLoaderLockFunction>(FindExport(block, module, kUnlock, 0, 0));
  ntdll->yieldExecution = reinterpret_cast<NtYieldExecutionFunction>(FindExport(block, module, kYield, 0, 0));
  return ntdll->lockLoaderLock != nullptr && ntdll->unlockLoaderLock != nullptr && ntdll->yieldExecution != nullptr;
}

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

bool FindKernel32(const ProcessBlock* block, Kernel32* kernel32) {
  constexpr std::uint64_t kKernel32 = ModuleNameHash("kernel32.dll");
  constexpr std::uint64_t kLoadLibraryA = ExportNameHash("LoadLibraryA");
  constexpr std::uint64_t kGetProcAddress = ExportNameHash("GetProcAddress");
  constexpr std::uint64_t kVirtualProtect = ExportNameHash("VirtualProtect");

  const BYTE* module = ModuleNamed(block, kKernel32);
  if (module == nullptr) return false;
  kernel32->loadLibrary =
      reinterpret_cast<LoadLibraryFunction>(FindExport(block, module, kLoadLibraryA, 0, kMaxForwards));
  kernel32->getProcAddress =
      reinterpret_cast<GetProcAddressFunction>(FindExport(block, module, kGetProcAddress, 0, kMaxForwards));
  kernel32->virtualProtect =
      reinterpret_cast<VirtualProtectFunction>(FindExport(block, module, kVirtualProtect, 0, kMaxForwards));
  return kernel32->loadLibrary != nullptr && kernel32->getProcAddress != nullptr && kernel32->virtualProtect != nullptr;
}

// Pages are made writable (and kept executable: other callers may be running
// this very code meanwhile) only while they are patched.
bool Unprotect(const Kernel32& kernel32, void* at, std::size_t size, DWORD* old) {
  return kernel32.virtualProtect(at, size, PAGE_EXECUTE_READWRITE, old) != FALSE;
}

void Reprotect(const Kernel32& kernel32, void* at, std::size_t size, DWORD old) {
  DWORD ignored;
  kernel32.virtualProtect(at, size, old, &ignored);
}

bool Relocate(BYTE* at, WORD type, std::uintptr_t delta) {
  if (type == IMAGE_REL_BASED_HIGHLOW) {
    auto* slot = reinterpret_cast<DWORD*>(at);
    *slot = static_cast<DWORD>(*slot + delta);
    return true;
  }
  if (type == IMAGE_REL_BASED_DIR64) {
    auto* slot = reinterpret_cast<ULONGLONG*>(at);
    *slot = *slot + static_cast<ULONGLONG>(delta);
    return true;
  }
  // Other kinds are not produced for x86 and x64 images.
  return false;
}

std::size_t RelocationWidth(WORD type) { return type == IMAGE_REL_BASED_DIR64 ? 8 : 4; }

bool ApplyRelocations(const Kernel32& kernel32, BYTE* base, std::uintptr_t delta) {
  const IMAGE_DATA_DIRECTORY* directory = Directory(base, IMAGE_DIRECTORY_ENTRY_BASERELOC);
  if (directory == nullptr) return false;
  const BYTE* at = base + directory->VirtualAddress;
  const BYTE* end = at + directory->Size;
  while (static_cast<std::size_t>(end - at) >= sizeof(IMAGE_BASE_RELOCATION)) {
    const auto* block = reinterpret_cast<const IMAGE_BASE_RELOCATION*>(at);
    if (block->SizeOfBlock < sizeof(IMAGE_BASE_RELOCATION) || block->SizeOfBlock > static_cast<std::size_t>(end - at)) {
      return false;
    }
    const auto* entries = reinterpret_cast<const WORD*>(block + 1);
    const std::size_t count = (block->SizeOfBlock - sizeof(IMAGE_BASE_RELOCATION)) / sizeof(WORD);
    BYTE* page = base + block->VirtualAddress;
    DWORD pageProtection;
    if (!Unprotect(kernel32, page, kPageSize, &pageProtection)) return false;
    bool applied = true;
    for (std::size_t i = 0; i < count && applied; ++i) {
      const WORD type = static_cast<WORD>(entries[i] >> 12);
      const std::size_t offset = entries[i] & 0x0fff;
      if (type == IMAGE_REL_BASED_ABSOLUTE) continue;
      if (offset + RelocationWidth(type) <= kPageSize) {
        applied = Relocate(page + offset, type, delta);
        continue;
      }
      // A value that runs into the next page: that page may be protected
      // differently, so it is opened and restored on its own.
      DWORD nextProtection;
      if (!Unprotect(kernel32, page + kPageSize, 1, &nextProtection)) {
        applied = false;
        break;
      }
      applied = Relocate(page + offset, type, delta);
      Reprotect(kernel32, page + kPageSize, 1, nextProtection);
    }
    Reprotect(kernel32, page, kPageSize, pageProtection);
    if (!applied) return false;
    at += block->SizeOfBlock;
  }
  return true;
}

bool BindImports(const Kernel32& kernel32, BYTE* base) {
  const IMAGE_DATA_DIRECTORY* directory = Directory(base, IMAGE_DIRECTORY_ENTRY_IMPORT);
  if (directory == nullptr) return true;
  for (const auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory->VirtualAddress);
       import->Name != 0; ++import) {
    const HMODULE module = kernel32.loadLibrary(reinterpret_cast<const char*>(base + import->Name));
    if (module == nullptr) return false;
    // The lookup table keeps the names even where the slots were bound before.
    const DWORD lookupRva = import->OriginalFirstThunk != 0 ? import->OriginalFirstThunk : import->FirstThunk;
    const auto* lookup = reinterpret_cast<const ULONG_PTR*>(base + lookupRva);
    auto* slots = reinterpret_cast<ULONG_PTR*>(base + import->FirstThunk);
    std::size_t count = 0;
    while (lookup[count] != 0) ++count;
    if (count == 0) continue;

    DWORD protection;
    if (!Unprotect(kernel32, slots, count * sizeof(ULONG_PTR), &protection)) return false;
    bool bound = true;
    for (std::size_t i = 0; i < count && bound; ++i) {
      const char* name =
          IMAGE_SNAP_BY_ORDINAL(lookup[i])
              ? reinterpret_cast<const char*>(static_cast<ULONG_PTR>(IMAGE_ORDINAL(lookup[i])))
              : reinterpret_cast<const char*>(reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + lookup[i])->Name);
      const FARPROC address = kernel32.getProcAddress(module, name);
      if (address == nullptr) {
        bound = false;
      } else {
        slots[i] = reinterpret_cast<ULONG_PTR>(address);
      }
    }
    Reprotect(kernel32, slots, count * sizeof(ULONG_PTR), protection);
    if (!bound) return false;
  }
  return true;
}

bool PrepareImage(const ProcessBlock* block, const Ntdll& ntdll, BYTE* base, ReadyState* state) {
  Kernel32 kernel32;
  {
    // Not held beyond the walk: binding loads modules, and a waiting
    // thread must not hold what the loader needs.
    const LoaderLock lock(ntdll);
    if (!lock.Held() || !FindKernel32(block, &kernel32)) return false;
  }
  const auto runtimeSelf = reinterpret_cast<std::uintptr_t>(&state->self);
  const auto linkedSelf = reinterpret_cast<std::uintptr_t>(state->self);
  if (runtimeSelf != linkedSelf && !ApplyRelocations(kernel32, base, runtimeSelf - linkedSelf)) {
    return false;
  }
  return BindImports(kernel32, base);
}

}  // namespace

#if defined(_MSC_VER)
#pragma section(".acpirdy", read, write)
__declspec(allocate(".acpirdy")) ReadyState g_acpiReadyState = {kIdle, &g_acpiReadyState.self};
#else
__attribute__((section(".acpirdy"), used)) ReadyState g_acpiReadyState = {kIdle, &g_acpiReadyState.self};
#endif

bool MakeImageReady() {
  const ProcessBlock* block = CurrentProcessBlock();
  Ntdll ntdll;
  if (!FindNtdll(block, &ntdll)) return false;
  BYTE* base = nullptr;
  {
    const LoaderLock lock(ntdll);
    if (!lock.Held()) return false;
    base = ModuleContaining(block, AddressInThisImage());
  }
  if (base == nullptr) return false;
  ReadyState* state = FindReadyState(base);
  if (state == nullptr) return false;

  LONG seen = LoadState(&state->state);
  if (seen == kIdle && ClaimState(&state->state)) {
    // In its own process the executable was loaded completely.
    const bool ready = base == block->imageBase || PrepareImage(block, ntdll, base, state);
    StoreState(&state->state, ready ? kReady : kFailed);
    return ready;
  }
  int rounds = 0;
  while ((seen = LoadState(&state->state)) == kBusy) Wait(ntdll, &rounds);
  return seen == kReady;
}

void* FindLoadedExport(const void* module, const char* name) {
  const ProcessBlock* block = CurrentProcessBlock();
  Ntdll ntdll;
  if (!FindNtdll(block, &ntdll)) return nullptr;
  const LoaderLock lock(ntdll);
  if (!lock.Held()) return nullptr;
  return FindExport(block, static_cast<const BYTE*>(module), ExportNameHash(name), 0, kMaxForwards);
}
