#include "acpi/image_readiness.h"

#include <cstddef>
#include <cstdint>

#include "acpi/loader_list.h"
#include "acpi/name_hash.h"
#include "acpi/pe_image.h"
#include "base/win.h"

#if defined(_MSC_VER)
#include <intrin.h>
#endif

// Everything here may run before the image has been relocated and bound.
// So this file (with pe_image.cpp and loader_list.cpp) reads no global
// through its link-time address (i686 code would use the unrelocated one),
// uses no string literal, no switch table, no virtual call and nothing from
// the import table, and calls only functions of its own (relative calls).
// The build compiles it without loop-to-memset rewriting, jump tables and
// stack protector, which would bring exactly those in.

namespace {

enum : LONG { kIdle = 0, kBusy = 1, kReady = 2, kFailed = 3 };

struct ReadyState {
  volatile LONG state;
  // Holds its own address once relocated: read through the runtime address,
  // it tells whether the loader applied the base relocations.
  void* self;
};

// The section that holds the state: found through the image's own headers,
// which needs no relocated address.
constexpr std::uint64_t kStateSectionTag = PeImage::SectionTag(".acpirdy");

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
void Wait(const LoaderList::Ntdll& ntdll, int* rounds) {
  if (++*rounds < 64) {
    PauseBriefly();
  } else {
    ntdll.yieldExecution();
  }
}

#if defined(ACPI_IMAGE_READINESS_SEAM)
// Test builds only: tells the program that loaded this image which stage a
// thread has reached, through that program's export (found as kernel32's
// functions are, without the import table). The program is the first entry
// of the loader's list and is never unloaded.
void Seam(const LoaderList::ProcessBlock* block, ImageReadinessStage stage) {
  constexpr std::uint64_t kSeamExport = ExportNameHash("AcpiImageReadinessSeam");
  using SeamFunction = void (*)(int);
  const LoaderList::LoaderEntry* program = LoaderList::FirstEntry(block);
  if (program == nullptr) return;
  const auto seam = reinterpret_cast<SeamFunction>(
      PeImage::FindExport(LoaderList::EntryImage(program), {kSeamExport, 0}, 0, LoaderList::LoadedModules(block)));
  if (seam != nullptr) seam(static_cast<int>(stage));
}
#else
void Seam(const LoaderList::ProcessBlock*, ImageReadinessStage) {}
#endif

// Relocation and binding through kernel32's functions, found without the
// import table.
class PlatformResolver {
 public:
  explicit PlatformResolver(const LoaderList::Kernel32& kernel32) : kernel32_(kernel32) {}

  // Pages are made writable (and kept executable: other callers may be
  // running this very code meanwhile) only while they are patched.
  bool Open(void* at, std::size_t size, std::uint32_t* old) const {
    DWORD previous = 0;
    const bool opened = kernel32_.virtualProtect(at, size, PAGE_EXECUTE_READWRITE, &previous) != FALSE;
    *old = previous;
    return opened;
  }
  void Close(void* at, std::size_t size, std::uint32_t old) const {
    DWORD ignored;
    kernel32_.virtualProtect(at, size, old, &ignored);
  }

  void* LoadModule(const char* name) const { return kernel32_.loadLibrary(name); }
  std::uintptr_t ByName(void* module, const char* name) const {
    return reinterpret_cast<std::uintptr_t>(kernel32_.getProcAddress(static_cast<HMODULE>(module), name));
  }
  std::uintptr_t ByOrdinal(void* module, std::uint16_t ordinal) const {
    const auto name = reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(ordinal));
    return reinterpret_cast<std::uintptr_t>(kernel32_.getProcAddress(static_cast<HMODULE>(module), name));
  }

 private:
  const LoaderList::Kernel32& kernel32_;
};

ReadyState* FindReadyState(const PeImage::Image& image) {
  const PeImage::Range section = image.Section(kStateSectionTag, sizeof(ReadyState));
  return section.size == 0 ? nullptr : image.Get<ReadyState>(section.rva);
}

bool PrepareImage(const LoaderList::ProcessBlock* block, const LoaderList::Ntdll& ntdll, const PeImage::Image& image,
                  ReadyState* state) {
  LoaderList::Kernel32 kernel32;
  {
    // Not held beyond the walk: binding loads modules, and a waiting
    // thread must not hold what the loader needs.
    const LoaderList::LoaderLock lock(ntdll);
    if (!lock.Held() || !LoaderList::FindKernel32(block, &kernel32)) return false;
  }
  PlatformResolver resolver(kernel32);
  const auto runtimeSelf = reinterpret_cast<std::uintptr_t>(&state->self);
  const auto linkedSelf = reinterpret_cast<std::uintptr_t>(state->self);
  if (runtimeSelf != linkedSelf) {
    Seam(block, ImageReadinessStage::kRelocating);
    if (!PeImage::ApplyRelocations(image, runtimeSelf - linkedSelf, resolver)) return false;
  }
  return PeImage::BindImports(image, resolver);
}

}  // namespace

#if defined(_MSC_VER)
#pragma section(".acpirdy", read, write)
__declspec(allocate(".acpirdy")) ReadyState g_acpiReadyState = {kIdle, &g_acpiReadyState.self};
#else
__attribute__((section(".acpirdy"), used)) ReadyState g_acpiReadyState = {kIdle, &g_acpiReadyState.self};
#endif

bool MakeImageReady() {
  const LoaderList::ProcessBlock* block = LoaderList::CurrentProcessBlock();
  LoaderList::Ntdll ntdll;
  if (!LoaderList::FindNtdll(block, &ntdll)) return false;
  PeImage::Image image;
  {
    const LoaderList::LoaderLock lock(ntdll);
    if (!lock.Held()) return false;
    image = LoaderList::ModuleContaining(block, AddressInThisImage());
  }
  if (!image.Valid()) return false;
  ReadyState* state = FindReadyState(image);
  if (state == nullptr) return false;

  LONG seen = LoadState(&state->state);
  if (seen == kIdle) {
    Seam(block, ImageReadinessStage::kSawIdle);
    if (ClaimState(&state->state)) {
      Seam(block, ImageReadinessStage::kClaimed);
      // In its own process the executable was loaded completely.
      const bool ready = image.Base() == block->imageBase || PrepareImage(block, ntdll, image, state);
      StoreState(&state->state, ready ? kReady : kFailed);
      return ready;
    }
  }
  Seam(block, ImageReadinessStage::kWaiting);
  int rounds = 0;
  while ((seen = LoadState(&state->state)) == kBusy) Wait(ntdll, &rounds);
  return seen == kReady;
}
