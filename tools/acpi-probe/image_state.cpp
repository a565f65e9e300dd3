#include "tools/acpi-probe/image_state.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/unique_handle.h"

namespace {

std::vector<BYTE> ReadWholeFile(const char* path) {
  std::vector<BYTE> bytes;
  ScopedHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > (1LL << 30)) return bytes;
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  DWORD got = 0;
  if (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) || got != bytes.size()) {
    bytes.clear();
  }
  return bytes;
}

// Where the file holds the bytes of an RVA; nothing when no section does.
const BYTE* FileBytesAt(const std::vector<BYTE>& file, const IMAGE_NT_HEADERS* nt, DWORD rva, std::size_t width) {
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (rva >= section->VirtualAddress && rva - section->VirtualAddress + width <= section->SizeOfRawData) {
      const std::size_t offset = section->PointerToRawData + (rva - section->VirtualAddress);
      if (offset + width <= file.size()) return file.data() + offset;
    }
  }
  return nullptr;
}

// The relocation directory is read from the loaded image, the values it
// names from both the image and the file.
void CountRelocations(const BYTE* base, const IMAGE_NT_HEADERS* nt, const std::vector<BYTE>& file, ImageState* state) {
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC];
  const std::uintptr_t delta = reinterpret_cast<std::uintptr_t>(base) - state->linkedBase;
  const BYTE* at = base + directory.VirtualAddress;
  const BYTE* end = at + directory.Size;
  while (directory.VirtualAddress != 0 && end - at >= static_cast<std::ptrdiff_t>(sizeof(IMAGE_BASE_RELOCATION))) {
    const auto* block = reinterpret_cast<const IMAGE_BASE_RELOCATION*>(at);
    if (block->SizeOfBlock < sizeof(IMAGE_BASE_RELOCATION) || block->SizeOfBlock > static_cast<std::size_t>(end - at)) {
      break;
    }
    const auto* entries = reinterpret_cast<const WORD*>(block + 1);
    const std::size_t count = (block->SizeOfBlock - sizeof(IMAGE_BASE_RELOCATION)) / sizeof(WORD);
    for (std::size_t i = 0; i < count; ++i) {
      const WORD type = entries[i] >> 12;
      if (type != IMAGE_REL_BASED_HIGHLOW && type != IMAGE_REL_BASED_DIR64) continue;
      const std::size_t width = type == IMAGE_REL_BASED_DIR64 ? 8 : 4;
      const DWORD rva = block->VirtualAddress + (entries[i] & 0x0fff);
      const BYTE* original = FileBytesAt(file, nt, rva, width);
      if (original == nullptr) continue;
      ++state->relocations;
      std::uint64_t linked = 0;
      std::uint64_t loaded = 0;
      std::memcpy(&linked, original, width);
      std::memcpy(&loaded, base + rva, width);
      const std::uint64_t mask = width == 8 ? ~0ull : 0xffffffffull;
      if (((linked + delta) & mask) == loaded) ++state->relocationsApplied;
    }
    at += block->SizeOfBlock;
  }
}

void CountImports(const BYTE* base, const IMAGE_NT_HEADERS* nt, ImageState* state) {
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) return;
  for (const auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       import->Name != 0; ++import) {
    if (import->OriginalFirstThunk == 0) continue;
    const HMODULE module = ::GetModuleHandleA(reinterpret_cast<const char*>(base + import->Name));
    const auto* lookup = reinterpret_cast<const ULONG_PTR*>(base + import->OriginalFirstThunk);
    const auto* slots = reinterpret_cast<const ULONG_PTR*>(base + import->FirstThunk);
    for (std::size_t i = 0; lookup[i] != 0; ++i) {
      ++state->imports;
      if (module == nullptr) continue;
      const char* name =
          IMAGE_SNAP_BY_ORDINAL(lookup[i])
              ? reinterpret_cast<const char*>(static_cast<ULONG_PTR>(IMAGE_ORDINAL(lookup[i])))
              : reinterpret_cast<const char*>(reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + lookup[i])->Name);
      const FARPROC address = ::GetProcAddress(module, name);
      if (address != nullptr && reinterpret_cast<ULONG_PTR>(address) == slots[i]) ++state->importsBound;
    }
  }
}

}  // namespace

ImageState InspectImage(HMODULE module) {
  ImageState state;
  char path[MAX_PATH + 1] = {};
  if (::GetModuleFileNameA(module, path, MAX_PATH) == 0) return state;
  const std::vector<BYTE> file = ReadWholeFile(path);
  if (file.empty()) return state;

  // The loader may rewrite the image base in the loaded headers; the file keeps it.
  if (file.size() < sizeof(IMAGE_DOS_HEADER)) return state;
  const LONG fileHeaders = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data())->e_lfanew;
  if (fileHeaders < 0 || static_cast<std::size_t>(fileHeaders) + sizeof(IMAGE_NT_HEADERS) > file.size()) {
    return state;
  }
  const auto* fileNt = reinterpret_cast<const IMAGE_NT_HEADERS*>(file.data() + fileHeaders);
  const auto* base = reinterpret_cast<const BYTE*>(module);
  const auto* nt =
      reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  state.readable = true;
  state.linkedBase = static_cast<std::uintptr_t>(fileNt->OptionalHeader.ImageBase);
  state.moved = reinterpret_cast<std::uintptr_t>(base) != state.linkedBase;
  CountRelocations(base, nt, file, &state);
  CountImports(base, nt, &state);
  return state;
}

std::string DescribeImageState(const ImageState& state) {
  if (!state.readable) return "cannot be read";
  const std::string relocations = state.moved ? "relocations " + std::to_string(state.relocationsApplied) + " of " +
                                                    std::to_string(state.relocations) + " applied"
                                              : "at its linked base";
  return relocations + ", imports " + std::to_string(state.importsBound) + " of " + std::to_string(state.imports) +
         " bound";
}
