#include "acpi/loader_list.h"

#include "acpi/name_hash.h"

#if defined(_MSC_VER)
#include <intrin.h>
#endif

// Runs before the image is relocated and bound: no global data, no string
// literal, nothing from the import table (see image_readiness.cpp).

namespace LoaderList {

namespace {

bool IsNamed(const LoaderEntry* e, std::uint64_t nameHash) {
  const wchar_t* name = e->baseName.buffer;
  const std::size_t units = e->baseName.length / sizeof(wchar_t);
  return units != 0 && HashNameUnits(kNameHashSeed, name, name + units, true) == nameHash;
}

}  // namespace

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

const LoaderEntry* FirstEntry(const ProcessBlock* block) {
  const LIST_ENTRY* head = &block->loader->inLoadOrder;
  return head->Flink == head ? nullptr : reinterpret_cast<const LoaderEntry*>(head->Flink);
}

const LoaderEntry* NextEntry(const ProcessBlock* block, const LoaderEntry* entry) {
  const LIST_ENTRY* head = &block->loader->inLoadOrder;
  const LIST_ENTRY* next = entry->inLoadOrder.Flink;
  return next == head ? nullptr : reinterpret_cast<const LoaderEntry*>(next);
}

PeImage::Image EntryImage(const LoaderEntry* entry) { return PeImage::Image(entry->dllBase, entry->sizeOfImage); }

// ntdll comes right after the executable in the load order and is never
// unloaded, and the loader only ever adds entries at the end: the first two
// entries can be read without the loader lock. Through them the lock itself
// is found; every other walk of the list holds it.
bool FindNtdll(const ProcessBlock* block, Ntdll* ntdll) {
  constexpr std::uint64_t kNtdll = ModuleNameHash("ntdll.dll");
  constexpr std::uint64_t kLock = ExportNameHash("LdrLockLoaderLock");
  constexpr std::uint64_t kUnlock = ExportNameHash("LdrUnlockLoaderLock");
  constexpr std::uint64_t kYield = ExportNameHash("NtYieldExecution");

  const LoaderEntry* found = nullptr;
  const LoaderEntry* e = FirstEntry(block);
  for (int i = 0; i < 2 && e != nullptr && found == nullptr; ++i, e = NextEntry(block, e)) {
    if (IsNamed(e, kNtdll)) found = e;
  }
  if (found == nullptr) return false;
  // ntdll forwards none of these: no other module is looked up.
  const PeImage::Image module = EntryImage(found);
  const LoadedModules none(block);
  ntdll->lockLoaderLock = reinterpret_cast<LdrLockLoaderLockFunction>(PeImage::FindExport(module, {kLock, 0}, 0, none));
  ntdll->unlockLoaderLock =
      reinterpret_cast<LdrUnlockLoaderLockFunction>(PeImage::FindExport(module, {kUnlock, 0}, 0, none));
  ntdll->yieldExecution = reinterpret_cast<NtYieldExecutionFunction>(PeImage::FindExport(module, {kYield, 0}, 0, none));
  return ntdll->lockLoaderLock != nullptr && ntdll->unlockLoaderLock != nullptr && ntdll->yieldExecution != nullptr;
}

PeImage::Image ModuleContaining(const ProcessBlock* block, const void* address) {
  const auto* at = static_cast<const BYTE*>(address);
  for (const LoaderEntry* e = FirstEntry(block); e != nullptr; e = NextEntry(block, e)) {
    if (at >= e->dllBase && static_cast<std::size_t>(at - e->dllBase) < e->sizeOfImage) return EntryImage(e);
  }
  return PeImage::Image();
}

PeImage::Image ModuleNamed(const ProcessBlock* block, std::uint64_t nameHash) {
  for (const LoaderEntry* e = FirstEntry(block); e != nullptr; e = NextEntry(block, e)) {
    if (IsNamed(e, nameHash)) return EntryImage(e);
  }
  return PeImage::Image();
}

bool FindKernel32(const ProcessBlock* block, Kernel32* kernel32) {
  constexpr std::uint64_t kKernel32 = ModuleNameHash("kernel32.dll");
  constexpr std::uint64_t kLoadLibraryA = ExportNameHash("LoadLibraryA");
  constexpr std::uint64_t kGetProcAddress = ExportNameHash("GetProcAddress");
  constexpr std::uint64_t kVirtualProtect = ExportNameHash("VirtualProtect");

  const PeImage::Image module = ModuleNamed(block, kKernel32);
  if (!module.Valid()) return false;
  const LoadedModules modules(block);
  kernel32->loadLibrary =
      reinterpret_cast<LoadLibraryFunction>(PeImage::FindExport(module, {kLoadLibraryA, 0}, kMaxForwards, modules));
  kernel32->getProcAddress = reinterpret_cast<GetProcAddressFunction>(
      PeImage::FindExport(module, {kGetProcAddress, 0}, kMaxForwards, modules));
  kernel32->virtualProtect = reinterpret_cast<VirtualProtectFunction>(
      PeImage::FindExport(module, {kVirtualProtect, 0}, kMaxForwards, modules));
  return kernel32->loadLibrary != nullptr && kernel32->getProcAddress != nullptr && kernel32->virtualProtect != nullptr;
}

void* FindLoadedExport(const void* module, const char* name) {
  const ProcessBlock* block = CurrentProcessBlock();
  Ntdll ntdll;
  if (!FindNtdll(block, &ntdll)) return nullptr;
  const LoaderLock lock(ntdll);
  if (!lock.Held()) return nullptr;
  const PeImage::Image image = ModuleContaining(block, module);
  if (!image.Valid() || image.Base() != module) return nullptr;
  return PeImage::FindExport(image, {ExportNameHash(name), 0}, kMaxForwards, LoadedModules(block));
}

}  // namespace LoaderList
