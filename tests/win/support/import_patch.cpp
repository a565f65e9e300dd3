#include "support/import_patch.h"

#include <cstring>

namespace test {
namespace {

void Store(void** slot, void* value) {
  DWORD protection = 0;
  if (!::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) return;
  *slot = value;
  ::VirtualProtect(slot, sizeof *slot, protection, &protection);
}

// The import address table entry of dll!function, or null.
void** FindImport(const char* dll, const char* function) {
  auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) return nullptr;
  for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       entry->Name != 0; ++entry) {
    if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
    // The names are in the lookup table; the addresses, bound by now, in the
    // address table beside it.
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(
        base + (entry->OriginalFirstThunk != 0 ? entry->OriginalFirstThunk : entry->FirstThunk));
    auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
        return reinterpret_cast<void**>(&addresses->u1.Function);
      }
    }
  }
  return nullptr;
}

}  // namespace

ScopedImportPatch::ScopedImportPatch(const char* dll, const char* function, const void* replacement) {
  void** slot = FindImport(dll, function);
  if (slot == nullptr) return;
  original_ = *slot;
  Store(slot, const_cast<void*>(replacement));
  if (*slot == replacement) slot_ = slot;
}

ScopedImportPatch::~ScopedImportPatch() {
  if (slot_ != nullptr) Store(slot_, original_);
}

}  // namespace test
