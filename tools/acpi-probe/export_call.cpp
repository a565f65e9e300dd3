#include "tools/acpi-probe/export_call.h"

#include <algorithm>
#include <cstring>

#include "acpi/acpi_export_names.h"
#include "acpi/acpi_exports.h"
#include "base/unique_handle.h"

namespace {

constexpr std::uint8_t kGuardByte = 0xa5;

template <typename Function>
Function As(FARPROC address) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

int Invoke(const LoadedExports& exports, const ProbeOptions& options, ULONG* value, BYTE* buffer, ULONG* length) {
  const std::string name = options.command->exportName;
  const std::vector<std::uint32_t>& v = options.values;
  const FARPROC f = exports.Function();
  if (name == "AcpiInit") return As<AcpiInitFunction>(f)();
  if (name == "AcpiGetItem") return As<AcpiGetItemFunction>(f)(v[0], value);
  if (name == "AcpiGetItemEx") return As<AcpiGetItemExFunction>(f)(v[0], v[1], value);
  if (name == "AcpiSetItem") return As<AcpiSetItemFunction>(f)(v[0], v[1], v[2]);
  if (name == "AcpiGetItemBuffer") return As<AcpiGetItemBufferFunction>(f)(v[0], v[1], buffer, length);
  if (name == "AcpiSetItemBuffer") return As<AcpiSetItemBufferFunction>(f)(v[0], v[1], buffer, length);
  if (name == "AcpiMbif") return As<AcpiMbifFunction>(f)(buffer, length);
  if (name == "AcpiGGrp") return As<AcpiGGrpFunction>(f)(v[0], buffer, length);
  const ULONG method = v[0];
  return As<AcpiCallMethodFunction>(f)(&method, buffer, length);
}

// The machine field of the executable's PE header; 0 when it cannot be read.
WORD ImageMachine(const std::string& path) {
  ScopedHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  IMAGE_DOS_HEADER dos;
  DWORD got = 0;
  if (!file || !::ReadFile(file.Get(), &dos, sizeof dos, &got, nullptr) || got != sizeof dos ||
      dos.e_magic != IMAGE_DOS_SIGNATURE) {
    return 0;
  }
  struct {
    DWORD signature;
    IMAGE_FILE_HEADER header;
  } pe;
  if (::SetFilePointer(file.Get(), dos.e_lfanew, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
      !::ReadFile(file.Get(), &pe, sizeof pe, &got, nullptr) || got != sizeof pe ||
      pe.signature != IMAGE_NT_SIGNATURE) {
    return 0;
  }
  return pe.header.Machine;
}

// Why the module cannot be loaded, in one line. An executable of the other
// bitness is the usual case: the platform only says "error 193".
std::string LoadFailure(const std::string& module, DWORD error) {
#if defined(_WIN64)
  constexpr WORD kOtherMachine = IMAGE_FILE_MACHINE_I386;
  const char* other = "a 32-bit program; this acpi-probe is 64-bit: use the acpi-probe of the win32 build";
#else
  constexpr WORD kOtherMachine = IMAGE_FILE_MACHINE_AMD64;
  const char* other = "a 64-bit program; this acpi-probe is 32-bit: use the acpi-probe of the win64 build";
#endif
  if (error == ERROR_BAD_EXE_FORMAT && ImageMachine(module) == kOtherMachine) {
    return "cannot load " + module + ": it is " + other;
  }
  return "cannot load " + module + " (error " + std::to_string(error) + ")";
}

}  // namespace

LoadedExports::~LoadedExports() {
  if (module_ != nullptr) ::FreeLibrary(module_);
}

bool LoadedExports::Load(const std::string& module, const ProbeCommand& command, std::string* error) {
  for (const AcpiExportName& entry : kAcpiExportNames) {
    if (std::strcmp(entry.name, command.exportName) == 0) {
      name_ = ExportedName(entry);
      ordinal_ = entry.ordinal;
    }
  }
  module_ = ::LoadLibraryA(module.c_str());
  if (module_ == nullptr) {
    *error = LoadFailure(module, ::GetLastError());
    return false;
  }
  function_ = ::GetProcAddress(module_, name_);
  if (function_ == nullptr) {
    *error = std::string("no export ") + name_ + " in " + module;
    return false;
  }
  return true;
}

bool CallOutcome::operator==(const CallOutcome& other) const {
  return answer == other.answer && value == other.value && length == other.length && buffer == other.buffer &&
         guardWritten == other.guardWritten && firstGuardWritten == other.firstGuardWritten;
}

CallOutcome CallExport(const LoadedExports& exports, const ProbeOptions& options) {
  const std::uint32_t size = options.BufferSize();
  std::vector<std::uint8_t> memory(static_cast<std::size_t>(size) + options.guard, kGuardByte);
  std::fill(memory.begin(), memory.begin() + size, options.fill);
  std::copy_n(options.request.begin(), std::min<std::size_t>(options.request.size(), size), memory.begin());

  ULONG value = options.initialValue;
  ULONG length = options.EntryLength();
  CallOutcome outcome;
  outcome.answer = Invoke(exports, options, &value, memory.data(), &length);
  outcome.value = value;
  outcome.length = length;
  outcome.buffer.assign(memory.begin(), memory.begin() + size);
  for (std::size_t i = 0; i < options.guard; ++i) {
    if (memory[size + i] != kGuardByte) {
      if (outcome.guardWritten == 0) outcome.firstGuardWritten = i;
      ++outcome.guardWritten;
    }
  }
  return outcome;
}
