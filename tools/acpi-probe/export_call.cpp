#include "tools/acpi-probe/export_call.h"

#include <algorithm>
#include <cstring>

#include "acpi/acpi_export_names.h"
#include "acpi/acpi_exports.h"

namespace {

constexpr std::uint8_t kGuardByte = 0xa5;

template <typename Function>
Function As(FARPROC address) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

int Invoke(const LoadedExports& exports, const ProbeOptions& options, ULONG* value, BYTE* buffer,
           ULONG* length) {
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

}  // namespace

LoadedExports::~LoadedExports() {
  if (module_ != nullptr) ::FreeLibrary(module_);
}

bool LoadedExports::Load(const std::string& module, const ProbeCommand& command,
                         std::string* error) {
  for (const AcpiExportName& entry : kAcpiExportNames) {
    if (std::strcmp(entry.name, command.exportName) == 0) {
      name_ = ExportedName(entry);
      ordinal_ = entry.ordinal;
    }
  }
  module_ = ::LoadLibraryA(module.c_str());
  if (module_ == nullptr) {
    *error = "cannot load " + module + " (error " + std::to_string(::GetLastError()) + ")";
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
  return answer == other.answer && value == other.value && length == other.length &&
         buffer == other.buffer && guardWritten == other.guardWritten &&
         firstGuardWritten == other.firstGuardWritten;
}

CallOutcome CallExport(const LoadedExports& exports, const ProbeOptions& options) {
  const std::uint32_t size = options.BufferSize();
  std::vector<std::uint8_t> memory(static_cast<std::size_t>(size) + options.guard, kGuardByte);
  std::fill(memory.begin(), memory.begin() + size, options.fill);
  std::copy_n(options.request.begin(), std::min<std::size_t>(options.request.size(), size),
              memory.begin());

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
